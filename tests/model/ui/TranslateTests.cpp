#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVRadioGroup.h"
#include "QVTranslate.h"

#include "FakeServices.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

template <typename W>
W* Named(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(name);
    return w;
}

// A window as a form would be built: named widgets, an action, a menu, a tab page and a dialog
// of its own (which has its own section and must be left alone).
struct TTestForm {
    TTestForm()
    {
        Form->setObjectName("frmTest");
        Form->setWindowTitle("designed");
        Label = Named<QLabel>(Form.get(), "lblName");
        Label->setText("Name");
        Ok = Named<QPushButton>(Form.get(), "btnOk");
        Ok->setText("OK");
        Ok->setToolTip("Designed hint");
        Axis = Named<TRadioGroup>(Form.get(), "grpAxis");
        Axis->SetItems({"a", "b", "c"});
        Units = Named<QComboBox>(Form.get(), "cboUnits");
        Units->addItems({"mm", "inch", "?"});
        Tabs = Named<QTabWidget>(Form.get(), "pgcPages");
        Tabs->addTab(Named<QWidget>(nullptr, "tabFirst"), "tab");
        Save = new QAction("save", Form.get());
        Save->setObjectName("actSave");
        Menu = Named<QMenu>(Form.get(), "mnuFile");
        Value = Named<QLineEdit>(Form.get(), "txtValue");
        Inner = Named<QDialog>(Form.get(), "dlgInner");
        InnerLabel = Named<QLabel>(Inner, "lblName");
        InnerLabel->setText("inner");
    }

    std::unique_ptr<QWidget> Form = std::make_unique<QWidget>();
    QLabel* Label;
    QPushButton* Ok;
    TRadioGroup* Axis;
    QComboBox* Units;
    QTabWidget* Tabs;
    QAction* Save;
    QMenu* Menu;
    QLineEdit* Value;
    QDialog* Inner;
    QLabel* InnerLabel;
};

class TranslateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Fixture.Load());
    }
    TMemIniFile Fixture{RASTREL_TEST_DATA "/languages/fixture.lng"};
};

}  // namespace

TEST_F(TranslateTest, WidgetsTakeTheirTextsByName)
{
    TTestForm f;
    TranslateComponents({f.Form.get(), nullptr}, &Fixture);
    EXPECT_EQ(f.Form->windowTitle(), "Test window");
    EXPECT_EQ(f.Label->text(), "Name:*|*(full)");  // as read: the marks stay in captions
    EXPECT_EQ(f.Label->toolTip(), "Your name");
    EXPECT_EQ(f.Ok->text(), "OK!");
    EXPECT_EQ(f.Ok->toolTip(), "Designed hint");  // an empty value leaves the designed hint
    EXPECT_EQ(f.Axis->title(), "Axis");
    EXPECT_EQ(f.Axis->ItemText(0), "Two points");
    EXPECT_EQ(f.Axis->ItemText(2), "Y axis");
    EXPECT_EQ(f.Units->count(), 3);  // items 3 to 5 of the file are not added
    EXPECT_EQ(f.Units->itemText(0), "Millimetres");
    EXPECT_EQ(f.Units->itemText(2), "Furlongs");
    EXPECT_EQ(f.Tabs->tabText(0), "First page");
    EXPECT_EQ(f.Save->text(), "Save it");
    EXPECT_EQ(f.Save->toolTip(), "Saves the drawing");
    EXPECT_EQ(f.Menu->title(), "File");
    EXPECT_EQ(f.Value->text(), "");  // an edit has no caption
    EXPECT_EQ(f.Value->toolTip(), "A number");
    EXPECT_EQ(f.InnerLabel->text(), "inner");
    EXPECT_EQ(f.Inner->windowTitle(), "");
}

TEST_F(TranslateTest, MissingLanguageFileIsReportedAndChangesNothing)
{
    TFakeMainWindow window;
    TInstalledServices installed(&window);
    TTestForm f;
    LanguageFileName = "/opt/rastrel/languages/klingon.lng";
    TranslateComponents({f.Form.get()}, nullptr);
    ASSERT_EQ(window.Boxes.size(), 1u);
    EXPECT_EQ(window.Boxes[0].Text, "Language file not found!\n/opt/rastrel/languages/klingon.lng");
    EXPECT_EQ(window.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_EQ(f.Form->windowTitle(), "designed");
    EXPECT_EQ(f.Label->text(), "Name");
}

TEST(KeyFilter, TypedTextKeepsOnlyWhatTheFilterLetsThrough)
{
    struct Case {
        const char* name;
        TKeyFilterProc filter;
        const char* typed;
        const char* expected;
    };
    const Case cases[] = {
        {"SoloNumeriEMeno", SoloNumeriEMeno, "-1,5a+é", "-1.5"},
        {"SoloNumeriPos", SoloNumeriPos, "-1,5", "1.5"},
        {"SoloNumeriInteri", SoloNumeriInteri, "1,5.2", "152"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QLineEdit edit;
        InstallKeyFilter(&edit, c.filter);
        for (const QChar ch : QString::fromUtf8(c.typed)) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(&edit, &press);
        }
        EXPECT_EQ(edit.text().toStdString(), c.expected);
        // Editing keys belong to the field.
        QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, QString(QChar('\b')));
        QCoreApplication::sendEvent(&edit, &backspace);
        EXPECT_EQ(edit.text().size(), QString::fromUtf8(c.expected).size() - 1);
    }
}
