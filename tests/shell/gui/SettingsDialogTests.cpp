// The settings page, the layer, coordinate and grid dialogs, used as a user uses them: real clicks
// and keys, each change checked by its effect on the program and, for settings, in the ini file
// after the close.
#include "ShellFixture.h"

#include "FileCommands.h"
#include "IniFile.h"
#include "QVCmp.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneNodes.h"
#include "UnitConfig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

struct TSettingsDialogs : TShellFixture {
    void SetUp() override
    {
        TShellFixture::SetUp();
        Start();
    }
    template <class T> T* Control(QWidget* In, const char* Name)
    {
        T* w = In->findChild<T*>(Name);
        EXPECT_TRUE(w) << Name;
        return w;
    }
    // Opens the settings page with its toolbar button.
    QWidget* OpenSettings()
    {
        QTest::mouseClick(Form().tbrFile->widgetForAction(Main().Command("sbtSetting")), Qt::LeftButton);
        QApplication::processEvents();
        EXPECT_TRUE(ToolWin().isVisible());
        return ToolWin().Sheet("tabSettings");
    }
    // Clicks the tab of a sheet of the settings page.
    void ShowSheet(QWidget* Page, const char* Sheet)
    {
        auto* tabs = Control<QTabWidget>(Page, "pgCtrSettings");
        const int i = tabs->indexOf(Control<QWidget>(Page, Sheet));
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(i).center());
        ASSERT_EQ(tabs->currentIndex(), i);
    }
    void Type(QLineEdit* Edit, const QString& Text)
    {
        Edit->setFocus();
        Edit->selectAll();
        QTest::keyClick(Edit, Qt::Key_Backspace);
        QTest::keyClicks(Edit, Text);
    }
    // Runs Work in the next modal dialog once it shows, then Close on it.
    void InModal(std::function<void(QDialog&)> Work)
    {
        QTimer::singleShot(0, [this, Work] {
            QDialog* d = nullptr;
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return (d = qobject_cast<QDialog*>(QApplication::activeModalWidget())); }));
            Work(*d);
            if (d->isVisible()) {
                ADD_FAILURE() << "the dialog was left open";
                d->reject();
            }
        });
    }
    void Click(QWidget* W) { QTest::mouseClick(W, Qt::LeftButton); }
    // A check box or radio button takes a click on its mark, which is at its left.
    void Click(QAbstractButton* B)
    {
        const bool mark = qobject_cast<QCheckBox*>(B) || qobject_cast<QRadioButton*>(B);
        QTest::mouseClick(B, Qt::LeftButton, {}, mark ? QPoint(8, B->height() / 2) : B->rect().center());
    }
    void ClickCell(QTableWidget* Grid, int Row, int Column)
    {
        Grid->scrollToItem(Grid->item(Row, Column));
        QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {},
                          Grid->visualItemRect(Grid->item(Row, Column)).center());
    }
    std::string IniValue(const std::string& File, const char* Section, const char* Key)
    {
        TMemIniFile ini(Data.Path() + "/" + File);
        ini.Load();
        return ini.ReadString(Section, Key, "<none>");
    }
};

TEST_F(TSettingsDialogs, EachSettingActsAtOnceAndIsInTheIniFileAfterTheClose)
{
    QWidget* page = OpenSettings();
    ShowSheet(page, "sheetSetGeneral");
    auto* units = Control<QComboBox>(page, "cboUnits");
    auto* system = Control<QLineEdit>(page, "txtSystemTol");
    auto* chain = Control<QLineEdit>(page, "txtChainTol");
    auto* arcFit = Control<QLineEdit>(page, "txtMaxArcFit");
    auto* segments = Control<QLineEdit>(page, "txtMaxCurveSeg");

    // Units: the per-unit values at once, also through the published tolerance.
    units->setFocus();
    QTest::keyClick(units, Qt::Key_Down);
    EXPECT_EQ(AppConfig->Units, 0);
    EXPECT_EQ(system->text(), "0.000005");
    EXPECT_EQ(chain->text(), "0.000100");
    EXPECT_EQ(arcFit->text(), "100");
    EXPECT_EQ(SystemTol(), 0.000005);
    QTest::keyClick(units, Qt::Key_Up);
    EXPECT_EQ(system->text(), "0.000100");
    EXPECT_EQ(chain->text(), "0.002500");
    EXPECT_EQ(arcFit->text(), "2500");
    QTest::keyClick(units, Qt::Key_Down);

    // Typed values; a text that is no positive number keeps the setting without a box.
    Type(chain, "0.0003");
    EXPECT_DOUBLE_EQ(ChainTol(), 0.0003);
    Type(chain, ".");
    EXPECT_DOUBLE_EQ(ChainTol(), 0.0003);
    Type(chain, "0");
    EXPECT_DOUBLE_EQ(ChainTol(), 0.0003);
    QTest::keyClick(chain, Qt::Key_Return);
    EXPECT_EQ(chain->text(), "0.000300") << "leaving the edit shows the value in effect";
    Type(segments, "1500");
    EXPECT_EQ(segments->text(), "1000");
    EXPECT_EQ(AppConfig->MaxCurveSeg, 1000);
    Type(segments, "0");
    EXPECT_EQ(AppConfig->MaxCurveSeg, 1) << "a curve has one segment at least";
    EXPECT_TRUE(Boxes.empty());

    // Check boxes and the toolbar style, each on its sheet.
    Click(Control<QCheckBox>(page, "chkForUpdate"));
    ShowSheet(page, "sheetSetDxf");
    Click(Control<QCheckBox>(page, "chkDxfPolyInLA"));
    ShowSheet(page, "sheetSetToolbar");
    Click(Control<QRadioButton>(page, "rbtTbrSetStyle1"));
    EXPECT_EQ(Form().tbrFile->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    ShowSheet(page, "sheetSetAspect");
    Click(Control<QCheckBox>(page, "chkShowHints"));
    EXPECT_FALSE(AppConfig->ShowInt);

    // A colour of the user's own for the grid: the grid takes it at once.
    SetColourDialogAnswerer([](int32_t) { return std::optional<int32_t>(0x123456); });
    auto* grid = Control<QComboBox>(page, "ColorBoxGrid");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_End);
    SetColourDialogAnswerer(nullptr);
    EXPECT_EQ(AppConfig->GridColor, 0x123456);
    EXPECT_NEAR(DrawingView->GridLineColor.R, 0x56 / 255.0, 1e-6);

    // OK hides the page; the values are in the file once the program closes.
    Click(Control<QPushButton>(page, "sbtSettingsOk"));
    EXPECT_FALSE(ToolWin().isVisible());
    Quit();
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "Unit"), "0");
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "MaxCurveSeg"), "1");
    EXPECT_EQ(std::stod(IniValue("rastrel.ini", "Default", "ChainTol")), 0.0003);
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "CheckForUpdate"), "0");
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "DxfPolyInLA"), "1");
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "ShowInt"), "0");
    EXPECT_EQ(IniValue("rastrel.ini", "Toolbar", "TbrImagesOnly"), "0");
    EXPECT_EQ(IniValue("rastrel.ini", "Color", "Grid"), std::to_string(0x123456));

    // Reopened: the page shows what was kept.
    Start();
    page = OpenSettings();
    EXPECT_EQ(Control<QComboBox>(page, "cboUnits")->currentIndex(), 1);
    EXPECT_EQ(Control<QLineEdit>(page, "txtMaxCurveSeg")->text(), "1");
}

TEST_F(TSettingsDialogs, ColoursWidthsSkinEditorAndLanguageActAtOnceAndAreKept)
{
    // A language of the user's own, beside the program's.
    const std::string name = "zz-copy-" + std::to_string(::getpid());
    const std::string file = ProgramFolder() + "/languages/" + name + ".lng";
    {
        std::ifstream in(ProgramFolder() + "/languages/english.lng");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        text.replace(text.find("450=Rastrel"), 11, "450=Kopie");
        std::ofstream(file) << text;
    }
    ::Drawing->Layers.GetLayer(4).Pen.SetColor(0x0000FF); // a layer the user changed keeps its colour
    QWidget* page = OpenSettings();
    ShowSheet(page, "sheetSetAspect");
    SetColourDialogAnswerer([](int32_t) { return std::optional<int32_t>(0x204060); });
    for (const char* box : {"ColorBoxBackground", "ColorBoxDefLayers"}) {
        auto* b = Control<QComboBox>(page, box);
        b->setFocus();
        QTest::keyClick(b, Qt::Key_End);
    }
    SetColourDialogAnswerer(nullptr);
    EXPECT_EQ(DrawingView->Scene->BackgroundColor(), SceneColorFromTColor(0x204060));
    EXPECT_EQ(::Drawing->Layers.GetLayer(9).Pen.Color(), 0x204060);
    EXPECT_EQ(::Drawing->Layers.GetLayer(4).Pen.Color(), 0x0000FF);
    auto* width = Control<QSpinBox>(page, "speCh_LW");
    width->setFocus();
    QTest::keyClick(width, Qt::Key_Up);
    EXPECT_EQ(AppConfig->ChainLW, 3);
    // The skin's menu: its caption follows the choice.
    auto* skin = Control<QToolButton>(page, "mnuSkin");
    QAction* fusion = nullptr;
    for (QAction* a : skin->menu()->actions())
        if (a->text().compare("Fusion", Qt::CaseInsensitive) == 0)
            fusion = a;
    ASSERT_TRUE(fusion);
    fusion->trigger();
    EXPECT_EQ(skin->text(), fusion->text());
    EXPECT_EQ(AppConfig->SkinName, fusion->text().toStdString());
    // The next tests keep the style they started with.
    skin->menu()->actions().front()->trigger();
    EXPECT_EQ(skin->text(), "Default");

    ShowSheet(page, "sheetSetEditor");
    Click(Control<QCheckBox>(page, "chkUseExtEditor"));
    auto* editor = Control<QPushButton>(page, "sbtExtEditor");
    ASSERT_TRUE(editor->isEnabled());
    SetFileDialogAnswerer([](const TFileDialogRequest&) { return std::string("/usr/bin/gedit"); });
    Click(editor);
    SetFileDialogAnswerer(nullptr);
    EXPECT_EQ(editor->text(), "/usr/bin/gedit");

    ShowSheet(page, "sheetSetGeneral");
    auto* lang = Control<QComboBox>(page, "nol_cboLang");
    lang->setFocus();
    const int at = lang->findText(QString::fromStdString(name)), from = lang->currentIndex();
    for (int i = 0; i < std::abs(at - from); ++i)
        QTest::keyClick(lang, at > from ? Qt::Key_Down : Qt::Key_Up);
    EXPECT_EQ(GetLangString(450), "Kopie");
    EXPECT_TRUE(Boxes.empty());
    Quit();
    std::filesystem::remove(file);
    EXPECT_EQ(IniValue("rastrel.ini", "Color", "BackGround"), std::to_string(0x204060));
    EXPECT_EQ(IniValue("rastrel.ini", "Color", "DefLayers"), std::to_string(0x204060));
    EXPECT_EQ(IniValue("rastrel.ini", "Color", "ChainLW"), "3");
    EXPECT_EQ(IniValue("rastrel.ini", "Color", "SkinName"), "Default");
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "UseExtEditor"), "1");
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "ExtEditor"), "/usr/bin/gedit");
    EXPECT_EQ(IniValue("rastrel.ini", "Default", "Language"), name);
}

TEST_F(TSettingsDialogs, ToolbarBoxesFollowAToolbarClosedByHandAndReset)
{
    QWidget* page = OpenSettings();
    ShowSheet(page, "sheetSetToolbar");
    auto* view = Control<QCheckBox>(page, "chkViewTbr2");
    EXPECT_TRUE(view->isChecked());
    // The toolbar's own menu closes it, as the user does.
    Main().ToolbarToggle("tbrView")->trigger();
    EXPECT_FALSE(Form().tbrView->isVisible());
    EXPECT_FALSE(view->isChecked());
    Click(view);
    EXPECT_TRUE(Form().tbrView->isVisible());
    Click(view);
    EXPECT_FALSE(Form().tbrView->isVisible());
    Click(Control<QPushButton>(page, "sbtReset"));
    EXPECT_TRUE(Form().tbrView->isVisible());
    EXPECT_TRUE(view->isChecked()) << "Reset leaves no box stale";
}

TEST_F(TSettingsDialogs, ALanguageWhoseFileIsGoneKeepsTheTextsInUse)
{
    const std::string name = "zz-missing-" + std::to_string(::getpid());
    const std::string file = ProgramFolder() + "/languages/" + name + ".lng";
    std::ofstream(file) << "[String]\n450=X\n";
    QWidget* page = OpenSettings();
    ShowSheet(page, "sheetSetGeneral");
    std::filesystem::remove(file);
    const TMemIniFile* before = LanguageIni.get();
    auto* lang = Control<QComboBox>(page, "nol_cboLang");
    lang->setFocus();
    const int at = lang->findText(QString::fromStdString(name));
    ASSERT_GE(at, 0);
    const int from = lang->currentIndex();
    for (int i = 0; i < std::abs(at - from); ++i)
        QTest::keyClick(lang, at > from ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].Text.find("Language file not found!"), std::string::npos);
    EXPECT_EQ(LanguageIni.get(), before);
    EXPECT_EQ(AppConfig->Language, "english");
    EXPECT_EQ(lang->currentText(), "english");
    EXPECT_EQ(GetLangString(450), "Rastrel");
}

TEST_F(TSettingsDialogs, LayerChangesActAtOnceCancelPutsThemBackAndSaveWritesTheModifiedOnes)
{
    const int32_t colour0 = ::Drawing->Layers.GetLayer(7).Pen.Color();
    InModal([&](QDialog& d) {
        auto* grid = Control<QTableWidget>(&d, "StringGrid1");
        EXPECT_EQ(grid->rowCount(), 256);
        EXPECT_EQ(grid->item(255, 0)->text(), "255");
        ClickCell(grid, 5, 1);
        EXPECT_EQ(::Drawing->CurrentLayer, 5);
        ClickCell(grid, 3, 3);
        EXPECT_FALSE(::Drawing->Layers.GetLayer(3).Visible);
        // A name typed over the old one, cut to 31 characters.
        ClickCell(grid, 2, 2);
        QTest::keyClick(grid, Qt::Key_F2);
        auto* editor = grid->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "A very long layer name of forty chars!!");
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_EQ(::Drawing->Layers.GetLayer(2).Name, "A very long layer name of forty");
        Click(Control<QPushButton>(&d, "btnCancel"));
    });
    Click(Form().sbtLayer);
    EXPECT_EQ(::Drawing->CurrentLayer, 0);
    EXPECT_TRUE(::Drawing->Layers.GetLayer(3).Visible);
    EXPECT_EQ(::Drawing->Layers.GetLayer(2).Name, "Layer_2");
    EXPECT_EQ(::Drawing->Layers.GetLayer(7).Pen.Color(), colour0);

    // The last layer's colour and width through the attribute dialog, then OK and Save.
    InModal([&](QDialog& d) {
        auto* grid = Control<QTableWidget>(&d, "StringGrid1");
        InModal([&](QDialog& attr) {
            SetColourDialogAnswerer([](int32_t) { return std::optional<int32_t>(0x0000FF); });
            auto* colour = Control<QComboBox>(&attr, "ColorBox1");
            colour->setFocus();
            QTest::keyClick(colour, Qt::Key_End);
            SetColourDialogAnswerer(nullptr);
            auto* width = Control<QComboBox>(&attr, "penwidthcombo1");
            width->setFocus();
            QTest::keyClick(width, Qt::Key_End);
            EXPECT_EQ(width->currentText(), "10");
            Click(Control<QPushButton>(&attr, "btnOk"));
        });
        ClickCell(grid, 255, 4);
        ClickCell(grid, 9, 1);
        Click(Control<QPushButton>(&d, "btnSaveSettings"));
        Click(Control<QPushButton>(&d, "btnOk"));
    });
    Click(Form().sbtLayer);
    const TQV_21Layer& last = ::Drawing->Layers.GetLayer(255);
    EXPECT_EQ(last.Pen.Color(), 0x0000FF);
    EXPECT_EQ(last.Pen.Width(), 10);
    EXPECT_EQ(::Drawing->CurrentLayer, 9);
    EXPECT_EQ(IniValue("Layers.ini", "LayersCol", "255"), std::to_string(0x0000FF));
    EXPECT_EQ(IniValue("Layers.ini", "LayersPen", "255"), "10");
    EXPECT_EQ(IniValue("Layers.ini", "LayersName", "255"), "Layer_255");
    // The layer changed by the earlier Cancel is modified too; the others are not written.
    EXPECT_EQ(IniValue("Layers.ini", "LayersName", "2"), "Layer_2");
    EXPECT_EQ(IniValue("Layers.ini", "LayersCol", "7"), "<none>");

    // Read back as the program reads it at start.
    TQV_01Cmp2D fresh;
    CaricaImpLayers(fresh, Data.Path() + "/Layers.ini", 0x00FF00);
    EXPECT_EQ(fresh.Layers.GetLayer(255).Pen.Color(), 0x0000FF);
    EXPECT_EQ(fresh.Layers.GetLayer(255).Pen.Width(), 10);
    EXPECT_EQ(fresh.Layers.GetLayer(7).Pen.Color(), 0x00FF00);
}

TEST_F(TSettingsDialogs, ATypedCoordinateIsAClickThereAndABadOneSendsNothing)
{
    struct TCase {
        const char* Name;
        QString X, Y;
        bool Ok;
        TPoint2D Expected;
        size_t Boxes;
    };
    const std::vector<TCase> cases = {
        {"comma becomes point", "1,5", "-3", true, {1.5, -3, 1}, 0},
        {"cancel", "7", "8", false, {1.5, -3, 1}, 0},
        {"a lone minus", "-", "2", true, {1.5, -3, 1}, 1},
        {"an empty edit", "4", "", true, {1.5, -3, 1}, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Boxes.clear();
        std::string shown;
        InModal([&](QDialog& d) {
            auto* x = Control<QLineEdit>(&d, "txtCoordX");
            shown = x->text().toStdString();
            Type(x, c.X);
            Type(Control<QLineEdit>(&d, "txtCoordY"), c.Y);
            if (c.X == "1,5") {
                EXPECT_EQ(x->text(), "1.5");
            }
            Click(Control<QPushButton>(&d, c.Ok ? "btnOk" : "btnCancel"));
        });
        Main().Command("mnuCoord")->trigger();
        TPoint2D p;
        CADProgram->GetCursorPoint(p);
        EXPECT_EQ(p.X, c.Expected.X);
        EXPECT_EQ(p.Y, c.Expected.Y);
        EXPECT_EQ(Boxes.size(), c.Boxes);
        if (c.X == "7") {
            EXPECT_EQ(shown, "1.5") << "the dialog shows the cursor point";
        }
    }
}

TEST_F(TSettingsDialogs, GridStepsLinkRefuseBadTextAndCancelPutsBackTheSteps)
{
    InModal([&](QDialog& d) {
        auto* stepX = Control<QComboBox>(&d, "nol_cboGridX");
        stepX->lineEdit()->setFocus();
        stepX->lineEdit()->selectAll();
        QTest::keyClicks(stepX, "2,5");
        EXPECT_EQ(DrawingView->GridStepX, 2.5);
        EXPECT_EQ(DrawingView->GridStepY, 2.5);
        EXPECT_EQ(Control<QComboBox>(&d, "nol_cboGridY")->currentText(), "2.5");
        // Bad text changes nothing and leaves the grid rebuilding.
        stepX->lineEdit()->selectAll();
        QTest::keyClicks(stepX, "-");
        EXPECT_EQ(DrawingView->GridStepX, 2.5);
        EXPECT_TRUE(DrawingView->GridRebuildEnabled);
        // Unlinked, Y stays.
        Click(Control<QCheckBox>(&d, "chkUnisceGrid"));
        stepX->lineEdit()->selectAll();
        QTest::keyClicks(stepX, "5");
        EXPECT_EQ(DrawingView->GridStepY, 2.5);
        // The top-right origin: the area lies below and left of zero at once.
        auto* size = Control<QLineEdit>(&d, "txtGridSizeX");
        Type(size, "40");
        Click(Control<QRadioButton>(&d, "rbtGridOrigin2"));
        EXPECT_EQ(DrawingView->GridMin.X, -40);
        EXPECT_EQ(DrawingView->GridMax.X, 0);
        auto* snapX = Control<QComboBox>(&d, "nol_cboXSnap");
        snapX->lineEdit()->selectAll();
        QTest::keyClicks(snapX, "0.5");
        EXPECT_EQ(CADProgram->XSnap, 0.5);
        EXPECT_EQ(CADProgram->YSnap, 0.5);
        // Snap to the grid from the dialog: the menu item follows.
        Click(Control<QCheckBox>(&d, "chkSnap2Grid"));
        EXPECT_TRUE(CADProgram->Snap2Grid);
        EXPECT_TRUE(Main().Command("mnuSnap2Grid")->isChecked());
        Click(Control<QPushButton>(&d, "sbtCancel"));
    });
    Main().Command("mnuSBGridSet")->trigger();
    EXPECT_EQ(DrawingView->GridStepX, AppConfig->GridX);
    EXPECT_EQ(DrawingView->GridStepY, AppConfig->GridY);
    EXPECT_EQ(CADProgram->XSnap, AppConfig->SnapX);
    EXPECT_EQ(DrawingView->GetGridSizeX(), 40) << "Cancel keeps the size";
    EXPECT_TRUE(AppConfig->Snap2Grid);

    // The menu item switches it off again, and the dialog's box follows; OK keeps the values.
    Main().Command("mnuSnap2Grid")->trigger();
    EXPECT_FALSE(CADProgram->Snap2Grid);
    InModal([&](QDialog& d) {
        EXPECT_FALSE(Control<QCheckBox>(&d, "chkSnap2Grid")->isChecked());
        Click(Control<QCheckBox>(&d, "chkUnisceGrid"));
        auto* stepY = Control<QComboBox>(&d, "nol_cboGridY");
        stepY->lineEdit()->setFocus();
        stepY->lineEdit()->selectAll();
        QTest::keyClicks(stepY, "25");
        Click(Control<QPushButton>(&d, "sbtOk"));
    });
    Main().Command("mnuSBGridSet")->trigger();
    EXPECT_EQ(AppConfig->GridX, 25);
    EXPECT_EQ(AppConfig->GridY, 25);
    EXPECT_EQ(AppConfig->GridOrigin, 2);
    EXPECT_EQ(AppConfig->GridSizeX, 40);
}

} // namespace
