#include "UnitToolWin.h"

#include "ui_UnitToolWin.h"

#include "QVGuard.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "TracingPage.h"
#include "UnitConfig.h"
#include "UnitMain.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>
#include <QVBoxLayout>

TfrmToolWin* frmToolWin = nullptr;

const std::vector<std::pair<std::string, std::string>>& TfrmToolWin::TabSheets()
{
    static const std::vector<std::pair<std::string, std::string>> table = {
        {"tabTextSL", "sheetTextSL"},       {"tabMirror", "sheetMirror"},
        {"tabScale", "sheetScale"},         {"tabChangeLayer", "sheetChangeLayer"},
        {"tabVectorize", "sheetVectorize"}, {"tabOffset", "sheetOffset"},
        {"tabTextTT", "sheetTextTT"},       {"tabOpen", "sheetOpen"},
        {"tabDelSmall", "sheetDelSmall"},   {"tabInfoDb", "sheetInfoDb"},
        {"tabSimulate", "sheetSimulate"},   {"tabPtAlong", "sheetPtAlong"},
        {"tabItem32", "tab36_BoltCircle"},  {"tabTranslate", "sheetTranslate"},
        {"tabRotate", "sheetRotate"},       {"tabExplode", "sheetExplodeInfo"},
        {"tabPostSel", "sheetPostSel"},     {"tabTool", "sheetTool"},
        {"tabLaserLib", "sheetLaserLib"},   {"tabLatheTool", "sheetLatheTool"},
        {"tabChain", "sheetChain"},         {"tabChainPt", "sheetChainPt"},
        {"tabLetters", "sheetLetters"},     {"tabContour", "sheetContour"},
        {"tabPocket", "sheetPocket"},       {"tabDrill", "sheetDrill"},
        {"tabSettings", "sheetSettings"},   {"tabSizeLimits", "sheetSizeLimits"},
        {"tabParallel", "sheetParallel"},   {"tabOpenR", "sheetOpenR"},
        {"tabLaserEng", "sheetLaserEng"},   {"tabLaserCut", "sheetLaserCut"},
        {"tabLatheFin", "sheetLatheFin"},   {"tabLatheRou", "sheetLatheRou"},
        {"tabGrblPanel", "sheetGbrl"},      {"tabLaserPocket", "sheetLaserPocket"},
    };
    return table;
}

TfrmToolWin::TfrmToolWin(TfrmMain& M) : QWidget(&M, Qt::Tool), ui(new Ui::TfrmToolWin), Main(M)
{
    ui->setupUi(this);
    if (QWidget* sheet = Sheet("tabVectorize")) {
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        TracingPage = new TTracingPage(sheet);
        // Not a second "sheetVectorize": the sheet is found by that name.
        TracingPage->setObjectName("pnlVectorize");
        layout->addWidget(TracingPage);
        TracingPage->OnClose = [this] { hide(); };
        TracingPage->OnJob = [this](bool Running) { Main.SetJobRunning(Running); };
        TracingPage->OnChooseLayer = [this] {
            Main.Hooks.LayerDialog();
            return Drawing ? int(Drawing->CurrentLayer) : -1;
        };
    }
}

TfrmToolWin::~TfrmToolWin()
{
    FReleased = true;
}

QTabWidget* TfrmToolWin::Pages() const
{
    return ui->pgCtrToolWin;
}

QWidget* TfrmToolWin::Sheet(const std::string& Tab) const
{
    for (const auto& [tab, sheet] : TabSheets())
        if (tab == Tab)
            return findChild<QWidget*>(QString::fromStdString(sheet));
    return nullptr;
}

void TfrmToolWin::HostPage(const std::string& Tab, QWidget* Page)
{
    QWidget* sheet = Sheet(Tab);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Page);
}

void TfrmToolWin::FinishStart()
{
    // The tab items' own captions.
    for (const auto& [tab, sheet] : TabSheets()) {
        const std::string caption = GetLangToolWinCaption(tab);
        if (QWidget* w = Sheet(tab); w && !caption.empty())
            ui->pgCtrToolWin->setTabText(ui->pgCtrToolWin->indexOf(w), QString::fromStdString(caption));
    }
    ui->pgCtrToolWin->tabBar()->hide();
    AppConfig->ToolWinLeft = x();
    AppConfig->ToolWinTop = y();
}

void TfrmToolWin::ShowPages(const std::vector<std::string>& Tabs, const std::string& CaptionKey,
                            int32_t ClientWidth, int32_t ClientHeight)
{
    if (isVisible() || Tabs.empty())
        return;
    QTabWidget* pages = ui->pgCtrToolWin;
    pages->tabBar()->hide();
    setWindowTitle(QString::fromStdString(GetLangToolWin(CaptionKey)));
    resize(ClientWidth, ClientHeight);
    for (int i = 0; i < pages->count(); ++i)
        pages->setTabVisible(i, false);
    for (auto t = Tabs.rbegin(); t != Tabs.rend(); ++t)
        if (QWidget* sheet = Sheet(*t))
            pages->setTabVisible(pages->indexOf(sheet), true);
    QWidget* first = Sheet(Tabs.front());
    if (first)
        pages->setCurrentWidget(first);
    if (Tabs.size() > 1)
        pages->tabBar()->show();
    if (auto handler = TabClick.find(Tabs.front()); first && handler != TabClick.end() && handler->second)
        handler->second(first);
    show();
    raise();
}

void TfrmToolWin::AddHideHandler(std::function<void()> Handler)
{
    FHideHandlers.push_back(std::move(Handler));
}

void TfrmToolWin::showEvent(QShowEvent* Event)
{
    QWidget::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TfrmToolWin::FormShow()
{
    Main.SetCommandPagesShown(true);
    if (AppConfig)
        move(AppConfig->ToolWinLeft, AppConfig->ToolWinTop);
}

void TfrmToolWin::hideEvent(QHideEvent* Event)
{
    QWidget::hideEvent(Event);
    // A hide by the window system (the main window minimised) is no hide of the command.
    if (!Event->spontaneous() && !FReleased)
        GuardedCall([this] { FormHide(); });
}

void TfrmToolWin::FormHide()
{
    Main.SetCommandPagesShown(false);
    if (CADProgram && CADProgram->OperationRunning)
        CADProgram->SendUserEvent(ueCancel);
    // Each handler once, also when one of them adds another.
    std::vector<std::function<void()>> handlers;
    handlers.swap(FHideHandlers);
    for (const auto& h : handlers)
        GuardedCall(h);
    if (AppConfig) {
        AppConfig->ToolWinLeft = x();
        AppConfig->ToolWinTop = y();
    }
    if (DrawingView)
        DrawingView->ResetOverlay();
}

void TfrmToolWin::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape) {
        UserBreak = true;
        return;
    }
    QWidget::keyPressEvent(Event);
}

void TfrmToolWin::ReleaseObjects()
{
    hide();
    FReleased = true;
    FHideHandlers.clear();
}

// ---- controls by name

std::string TfrmToolWin::ControlText(const std::string& Name) const
{
    QWidget* w = findChild<QWidget*>(QString::fromStdString(Name));
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(w))
        text = e->text();
    else if (auto* l = qobject_cast<QLabel*>(w))
        text = l->text();
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        text = g->title();
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        text = b->text();
    else if (auto* c = qobject_cast<QComboBox*>(w))
        text = c->currentText();
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        text = p->toPlainText();
    else if (auto* t = qobject_cast<QTextEdit*>(w))
        text = t->toPlainText();
    return text.toStdString();
}

void TfrmToolWin::SetControlText(const std::string& Name, const std::string& Text)
{
    QWidget* w = findChild<QWidget*>(QString::fromStdString(Name));
    const QString text = QString::fromStdString(Text);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w); c && c->isEditable())
        c->setEditText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(text);
    else if (auto* t = qobject_cast<QTextEdit*>(w))
        t->setPlainText(text);
}

bool TfrmToolWin::ControlChecked(const std::string& Name) const
{
    auto* b = findChild<QAbstractButton*>(QString::fromStdString(Name));
    return b && b->isChecked();
}

int32_t TfrmToolWin::ControlItemIndex(const std::string& Name) const
{
    QWidget* w = findChild<QWidget*>(QString::fromStdString(Name));
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentIndex();
    // A radio group: the index of its checked button among its buttons.
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
        const QList<QAbstractButton*> buttons = g->findChildren<QAbstractButton*>();
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked())
                return i;
    }
    return -1;
}

std::vector<std::string> TfrmToolWin::ControlItems(const std::string& Name) const
{
    std::vector<std::string> items;
    if (auto* c = findChild<QComboBox*>(QString::fromStdString(Name)))
        for (int i = 0; i < c->count(); ++i)
            items.push_back(c->itemText(i).toStdString());
    return items;
}

void TfrmToolWin::SetControlVisible(const std::string& Name, bool Visible)
{
    if (QWidget* w = findChild<QWidget*>(QString::fromStdString(Name)))
        w->setVisible(Visible);
}

void TfrmToolWin::FocusControl(const std::string& Name)
{
    if (QWidget* w = findChild<QWidget*>(QString::fromStdString(Name)))
        w->setFocus();
}
