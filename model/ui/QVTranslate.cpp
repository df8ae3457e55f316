#include "QVTranslate.h"

#include "IniFile.h"
#include "QVLanguage.h"
#include "QVRadioGroup.h"
#include "QVServices.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

#include <string>

namespace {

QString Lookup(const TMemIniFile& ini, const std::string& section, const std::string& key)
{
    return QString::fromStdString(ini.ReadString(section, key, ""));
}

// The tab widget that shows page w as one of its tabs, or null.
QTabWidget* OwningTabWidget(QWidget* w)
{
    auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
    return stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
}

void SetCaption(QObject* c, const QString& v)
{
    if (auto* a = qobject_cast<QAction*>(c))
        a->setText(v);
    else if (auto* b = qobject_cast<QAbstractButton*>(c))
        b->setText(v);
    else if (auto* l = qobject_cast<QLabel*>(c))
        l->setText(v);
    else if (auto* g = qobject_cast<QGroupBox*>(c))
        g->setTitle(v);
    else if (auto* m = qobject_cast<QMenu*>(c))
        m->setTitle(v);
    else if (auto* d = qobject_cast<QDockWidget*>(c))
        d->setWindowTitle(v);
    else if (auto* w = qobject_cast<QWidget*>(c)) {
        if (QTabWidget* tabs = OwningTabWidget(w))
            tabs->setTabText(tabs->indexOf(w), v);
    }
}

void SetHint(QObject* c, const QString& v)
{
    if (auto* a = qobject_cast<QAction*>(c))
        a->setToolTip(v);
    else if (auto* w = qobject_cast<QWidget*>(c))
        w->setToolTip(v);
}

void TranslateItems(QObject* c, const TMemIniFile& ini, const std::string& section, const std::string& name)
{
    const auto itemKey = [&](int i) { return name + ".items[" + std::to_string(i) + "]"; };
    if (auto* combo = qobject_cast<QComboBox*>(c)) {
        for (int i = 0; i < combo->count(); ++i)
            if (const QString v = Lookup(ini, section, itemKey(i)); !v.isEmpty())
                combo->setItemText(i, v);
    } else if (auto* group = dynamic_cast<TRadioGroup*>(c)) {
        for (int i = 0; i < group->ItemCount(); ++i)
            if (const QString v = Lookup(ini, section, itemKey(i)); !v.isEmpty())
                group->SetItemText(i, v);
    }
}

// Another window inside this one (a dialog made with this parent) has a section of its own.
bool IsOtherForm(const QObject* o)
{
    const auto* w = qobject_cast<const QWidget*>(o);
    if (!w)
        return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet || type == Qt::Tool;
}

void TranslateChildren(QObject* parent, const TMemIniFile& ini, const std::string& section)
{
    for (QObject* c : parent->children()) {
        if (IsOtherForm(c))
            continue;
        const std::string name = c->objectName().toStdString();
        if (!name.empty()) {
            if (const QString v = Lookup(ini, section, name + ".Caption"); !v.isEmpty())
                SetCaption(c, v);
            if (const QString v = Lookup(ini, section, name + ".Hint"); !v.isEmpty())
                SetHint(c, v);
            TranslateItems(c, ini, section, name);
        }
        TranslateChildren(c, ini, section);
    }
}

}  // namespace

void TranslateComponents(const std::vector<QWidget*>& Forms, const TMemIniFile* Ini)
{
    if (!Ini) {
        MainWindow().MessageBox(LanguageFileNotFoundText(), "", TMsgIcon::Error, TMsgButtons::Ok);
        return;
    }
    for (QWidget* form : Forms) {
        if (!form)
            continue;
        const std::string section = form->objectName().toStdString();
        if (const QString v = Lookup(*Ini, section, section + ".Caption"); !v.isEmpty())
            form->setWindowTitle(v);
        TranslateChildren(form, *Ini, section);
    }
}
