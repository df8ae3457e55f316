// The file commands from the main window's buttons: the dialogs answered by the test, the
// placement panel on the tool window, the caption and the recent files.
#include "ShellFixture.h"

#include "DlgOpenGeo.h"
#include "FileCommands.h"
#include "MainFileHost.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVGeoPage.h"
#include "QVGeoTree.h"
#include "QVGeoTreeModel.h"
#include "QVInfoEdit.h"
#include "QVInfoEditWidget.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVStock.h"
#include "QVSurf3D.h"
#include "SceneWidget.h"
#include "StlFixtures.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>

namespace {
const std::string DxfTwoLines = "0\nSECTION\n2\nENTITIES\n"
                                "0\nLINE\n8\n0\n10\n10\n20\n20\n11\n110\n21\n20\n"
                                "0\nLINE\n8\n0\n10\n10\n20\n70\n11\n110\n21\n70\n"
                                "0\nENDSEC\n0\nEOF\n";

std::string Write(const std::string& Name, const std::string& Text)
{
    std::ofstream(Name, std::ios::binary) << Text;
    return Name;
}

std::string FileBytes(const std::string& Name)
{
    std::ifstream in(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TFileCommandFixture : public TShellFixture {
public:
    // The names the dialogs give, in order; an empty one is a cancel.
    std::deque<std::string> Names;
    std::vector<TFileDialogRequest> Dialogs;

    void SetUp() override
    {
        TShellFixture::SetUp();
        SetFileDialogAnswerer([this](const TFileDialogRequest& R) {
            Dialogs.push_back(R);
            if (Names.empty())
                return std::string();
            std::string name = Names.front();
            Names.pop_front();
            return name;
        });
    }
    void TearDown() override
    {
        TShellFixture::TearDown();
        SetFileDialogAnswerer(nullptr);
    }

    // A real click on a button of the file toolbar.
    void ClickButton(QAction* Action)
    {
        auto* button = qobject_cast<QToolButton*>(Form().tbrFile->widgetForAction(Action));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(4, button->height() / 2));
        QApplication::processEvents();
    }
    void AddLines(int Count)
    {
        for (int i = 0; i < Count; ++i)
            ::Drawing->AddObject(
                -1, std::make_unique<TLine2D>(-1, TPoint2D{0, double(i), 1}, TPoint2D{10, double(i), 1}));
    }
};
} // namespace

using FileCommandsFromButtons = TFileCommandFixture;

TEST_F(FileCommandsFromButtons, OpenADxfShowsItsObjectsAndThePlacementPanel)
{
    Start();
    const std::string dxf = Write(Data.Path() + "/lines.dxf", DxfTwoLines);
    Names.push_back(dxf);
    ClickButton(Form().sbtOpen);
    ASSERT_EQ(Dialogs.size(), 1U);
    EXPECT_FALSE(Dialogs[0].Save);
    EXPECT_EQ(::Drawing->ObjectsCount(), 2);
    EXPECT_EQ(CurrentFile.Kind, fkDxf);
    EXPECT_EQ(Main().windowTitle().toStdString(), AppTitle + " - " + dxf);
    EXPECT_EQ(Main().RecentFiles(), QStringList{QString::fromStdString(dxf)});
    // The panel is on the tool window's placement sheet, at its size.
    ASSERT_NE(DlgOpenGeo, nullptr);
    TDlgOpenGeo* panel = Main().FileHost().Panel();
    ASSERT_EQ(DlgOpenGeo, panel);
    EXPECT_TRUE(ToolWin().isVisible());
    EXPECT_EQ(panel->Page()->parentWidget(), ToolWin().Sheet("tabOpenR"));
    EXPECT_TRUE(panel->Page()->isVisible());
    EXPECT_EQ(ToolWin().windowTitle().toStdString(), GetLangToolWin("twOpDxf"));
    EXPECT_TRUE(Boxes.empty());
    QApplication::processEvents();
    EXPECT_TRUE(ToolWin().grab().toImage().save(RASTREL_BUILD_DIR "/shell-placement-panel.png"));

    // Done closes the tool window, which frees the panel.
    auto* done = ToolWin().findChild<QPushButton*>("sbtOpenDone");
    ASSERT_NE(done, nullptr);
    ASSERT_TRUE(done->isEnabled());
    QTest::mouseClick(done, Qt::LeftButton);
    EXPECT_FALSE(ToolWin().isVisible());
    QApplication::processEvents();
    EXPECT_EQ(DlgOpenGeo, nullptr);
    EXPECT_EQ(Main().FileHost().Panel(), nullptr);
    EXPECT_EQ(::Drawing->ObjectsCount(), 2);
}

// Nothing on the placement panel is cut off: a size of 1083.733 shows its first digit, and the
// information lines show whole (the tree scrolls sideways rather than cut them).
TEST_F(FileCommandsFromButtons, ThePlacementPanelShowsItsNumbersAndLinesWhole)
{
    Start();
    Names.push_back(Write(Data.Path() + "/wide.dxf",
                          "0\nSECTION\n2\nENTITIES\n"
                          "0\nLINE\n8\n0\n10\n-12.5\n20\n20\n11\n1071.233\n21\n770.25\n"
                          "0\nENDSEC\n0\nEOF\n"));
    ClickButton(Form().sbtOpen);
    ASSERT_TRUE(Boxes.empty());
    QApplication::processEvents();
    auto* sizeX = ToolWin().findChild<QLineEdit*>("txtAttriba");
    ASSERT_NE(sizeX, nullptr);
    EXPECT_EQ(sizeX->text().toStdString(), "1083.733");
    int fields = 0;
    for (QLineEdit* edit : ToolWin().findChildren<QLineEdit*>()) {
        if (!edit->isVisible())
            continue;
        ++fields;
        SCOPED_TRACE(edit->objectName().toStdString());
        // Whole numbers of this size fit: the frame and the edit's own margins beside the text.
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
        for (const QString& text : {edit->text(), QString("-1083.733")})
            EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(text) + 2 * frame + 4)
                << text.toStdString();
    }
    EXPECT_GE(fields, 5);
    auto* tree = ToolWin().findChild<QTreeWidget*>("tvOpenInfo");
    ASSERT_NE(tree, nullptr);
    tree->expandAll();
    QApplication::processEvents();
    int lines = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it, ++lines) {
        int depth = 1; // the root's own branch mark
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        const QString text = (*it)->text(0);
        EXPECT_GE(tree->columnWidth(0),
                  depth * tree->indentation() + tree->fontMetrics().horizontalAdvance(text))
            << text.toStdString();
    }
    EXPECT_GE(lines, 6);
    EXPECT_TRUE(ToolWin().grab().toImage().save(RASTREL_BUILD_DIR "/shell-placement-wide-numbers.png"));
}

TEST_F(FileCommandsFromButtons, OpenAnSvgPlacesItAndABrokenOneIsTold)
{
    Start();
    const std::string svg = RASTREL_TEST_DATA "/svg/shapes.svg";
    Names.push_back(svg);
    ClickButton(Form().sbtOpen);
    ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
    EXPECT_EQ(CurrentFile.Kind, fkSvg);
    EXPECT_EQ(::Drawing->ObjectsCount(), 6);
    EXPECT_EQ(Main().windowTitle().toStdString(), AppTitle + " - " + svg);
    EXPECT_TRUE(ToolWin().isVisible());
    EXPECT_EQ(ToolWin().windowTitle().toStdString(), GetLangToolWin("twOpSvg"));
    // The red rectangle on the layer of its colour.
    EXPECT_EQ(::Drawing->Layers.GetLayer(155).Pen.Color(), 0x2F2FFF);

    // Sized to 400 wide and placed by its bottom-left corner, then Done.
    auto* sizeX = ToolWin().findChild<QLineEdit*>("txtAttriba");
    ASSERT_NE(sizeX, nullptr);
    sizeX->selectAll();
    QTest::keyClick(sizeX, Qt::Key_Delete);
    QTest::keyClicks(sizeX, "360");
    auto* corner = ToolWin().findChild<QRadioButton*>("rbtOrigin1");
    ASSERT_NE(corner, nullptr);
    QTest::mouseClick(corner, Qt::LeftButton, Qt::NoModifier, QPoint(4, corner->height() / 2));
    QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtOpenApply"), Qt::LeftButton);
    QApplication::processEvents();
    TRect2D r;
    ::Drawing->GetExtents(r);
    EXPECT_NEAR(r.First.X, 0, 1e-9);
    EXPECT_NEAR(r.First.Y, 0, 1e-9);
    EXPECT_NEAR(r.Second.X - r.First.X, 360, 1e-6);
    EXPECT_TRUE(Main().grab().toImage().save(RASTREL_BUILD_DIR "/shell-svg-open.png"));
    EXPECT_TRUE(ToolWin().grab().toImage().save(RASTREL_BUILD_DIR "/shell-svg-placement-panel.png"));
    QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtOpenDone"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(ToolWin().isVisible());
    EXPECT_EQ(::Drawing->ObjectsCount(), 6);

    // A broken file after the clear question: told with its name and the reason, nothing left.
    const std::string broken = Write(Data.Path() + "/broken.svg", "<svg><path d='M 0 0 L 5'/></svg>");
    Names.push_back(broken);
    Answers.push_back(TMsgResult::Yes);
    ClickButton(Form().sbtOpen);
    ASSERT_EQ(Boxes.size(), 2U);
    EXPECT_NE(Boxes[1].Text.find(broken), std::string::npos) << Boxes[1].Text;
    EXPECT_NE(Boxes[1].Text.find("parse_path: Unexpected end of path"), std::string::npos) << Boxes[1].Text;
    EXPECT_EQ(::Drawing->ObjectsCount(), 0);
    EXPECT_EQ(CurrentFile.Kind, fkFailed);
    EXPECT_FALSE(ToolWin().isVisible());
    EXPECT_FALSE(Form().ProgressBar1->isVisible());
}

TEST_F(FileCommandsFromButtons, OpenAnStlShowsTheSurfaceInTheStockBoxAndPlacesIt)
{
    Start();
    const std::string stl = Write(Data.Path() + "/box.stl", AsciiStl(BoxMesh(0, 0, 0, 10, 20, 5)));
    Names.push_back(stl);
    ClickButton(Form().sbtOpen);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(CurrentFile.Kind, fkStl);
    ASSERT_EQ(::Drawing->ObjectsCount(), 1);
    TQV_STLSurf* surface = nullptr;
    {
        auto it = ::Drawing->ObjectsIterator();
        surface = dynamic_cast<TQV_STLSurf*>(it.First());
    }
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(ToolWin().windowTitle().toStdString(), GetLangToolWin("twOpStl"));
    // The mesh and the stock box around it in the 3D group, seen with the depth test.
    ASSERT_NE(DrawingView, nullptr);
    EXPECT_TRUE(DrawingView->Scene->DepthTest());
    ASSERT_NE(surface->Mesh.Get(), nullptr);
    EXPECT_EQ(surface->Mesh.Get()->Parent(), DrawingView->Group3D);
    ASSERT_NE(Grezzo, nullptr);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 5);

    // Z sized to 10 on the panel, then Apply: the surface and the stock box double.
    auto* sizeZ = ToolWin().findChild<QLineEdit*>("txtAttribc");
    ASSERT_NE(sizeZ, nullptr);
    sizeZ->selectAll();
    QTest::keyClick(sizeZ, Qt::Key_Delete);
    QTest::keyClicks(sizeZ, "10");
    auto* apply = ToolWin().findChild<QPushButton*>("sbtOpenApply");
    ASSERT_NE(apply, nullptr);
    QTest::mouseClick(apply, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(surface->Box3D.Second.X, 20);
    EXPECT_DOUBLE_EQ(surface->Box3D.Second.Z, 10);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 10);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(Main().grab().toImage().save(RASTREL_BUILD_DIR "/shell-stl-open.png"));
    EXPECT_TRUE(ToolWin().grab().toImage().save(RASTREL_BUILD_DIR "/shell-stl-placement-panel.png"));

    // The file toolbar is off while the panel shows.
    EXPECT_FALSE(Form().sbtOpen->isEnabled());
    ToolWin().close();
    // Another file: the drawing is cleared (the surface's mesh goes) and the depth test is off.
    const std::string dxf = Write(Data.Path() + "/lines.dxf", DxfTwoLines);
    Names.push_back(dxf);
    Answers.push_back(TMsgResult::Yes);
    ClickButton(Form().sbtOpen);
    EXPECT_EQ(CurrentFile.Kind, fkDxf);
    EXPECT_FALSE(DrawingView->Scene->DepthTest());
    for (int i = 0; i < DrawingView->Group3D->Count(); ++i)
        EXPECT_NE(DrawingView->Group3D->Child(i)->Kind(), TSceneNodeKind::Mesh);
}

TEST_F(FileCommandsFromButtons, NewAndOpenLeaveNothingOfAnOpenedSurfaceInTheView)
{
    struct TCase {
        const char* Name;
        bool New; // else another file is opened
    };
    for (const TCase& c : {TCase{"New", true}, TCase{"Open", false}}) {
        SCOPED_TRACE(c.Name);
        Start();
        Names.push_back(Write(Data.Path() + "/box.stl", AsciiStl(BoxMesh(0, 0, 0, 10, 20, 5))));
        ClickButton(Form().sbtOpen);
        ASSERT_EQ(CurrentFile.Kind, fkStl);
        QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtOpenDone"), Qt::LeftButton);
        QApplication::processEvents();
        ASSERT_NE(Grezzo, nullptr);
        ASSERT_DOUBLE_EQ(Grezzo->Height(), 5);

        Answers.push_back(TMsgResult::Yes);
        if (c.New) {
            ClickButton(Form().sbtNew);
        } else {
            Names.push_back(Write(Data.Path() + "/lines.dxf", DxfTwoLines));
            ClickButton(Form().sbtOpen);
            ASSERT_EQ(CurrentFile.Kind, fkDxf);
        }
        ASSERT_EQ(Answers.size(), 0U);
        // Neither the mesh nor the stock box sized to it is drawn any more.
        for (int i = 0; i < DrawingView->Group3D->Count(); ++i)
            EXPECT_NE(DrawingView->Group3D->Child(i)->Kind(), TSceneNodeKind::Mesh);
        ASSERT_NE(Grezzo, nullptr);
        EXPECT_DOUBLE_EQ(Grezzo->Height(), 0);
        EXPECT_DOUBLE_EQ(Grezzo->StockBox.Second.X - Grezzo->StockBox.First.X, 0);
        EXPECT_DOUBLE_EQ(Grezzo->StockBox.Second.Y - Grezzo->StockBox.First.Y, 0);
        Quit();
    }
}

// The desktop's keys for the file commands and Undo, pressed while the view has the focus.
TEST_F(FileCommandsFromButtons, TheDesktopKeysRunTheirCommands)
{
    struct TCase {
        const char* Name;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        // The lines in the drawing before the key: an open asks the clear question first.
        int Lines;
        int OpenDialogs, SaveDialogs, Questions;
        int LinesLeft;
    };
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const std::vector<TCase> cases = {
        {"Ctrl+O opens", Qt::Key_O, ctrl, 0, 1, 0, 0, 0},
        {"Ctrl+S saves", Qt::Key_S, ctrl, 2, 0, 1, 0, 2},
        {"Ctrl+Shift+S saves as", Qt::Key_S, ctrl | Qt::ShiftModifier, 2, 0, 1, 0, 2},
        // The clear question, answered No.
        {"Ctrl+N clears", Qt::Key_N, ctrl, 2, 0, 0, 1, 2},
        {"Ctrl+Z undoes the last line", Qt::Key_Z, ctrl, 2, 0, 0, 0, 1},
    };
    Start();
    ASSERT_NE(UndoRedo, nullptr);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        while (::Drawing->ObjectsCount() < c.Lines) {
            auto line = std::make_unique<TLine2D>(-1, TPoint2D{0, 5, 1}, TPoint2D{10, 5, 1});
            TUndoRecord(TUndoKind::NewObjects)
                .Added(*::Drawing->AddObject(-1, std::move(line)))
                .Push(*UndoRedo);
        }
        Dialogs.clear();
        Boxes.clear();
        Main().Viewer()->setFocus();
        QTest::keyClick(Main().Viewer(), c.Key, c.Modifiers);
        QApplication::processEvents();
        const auto count = [&](bool Save) {
            return int(std::count_if(Dialogs.begin(), Dialogs.end(),
                                     [&](const TFileDialogRequest& R) { return R.Save == Save; }));
        };
        EXPECT_EQ(count(false), c.OpenDialogs);
        EXPECT_EQ(count(true), c.SaveDialogs);
        EXPECT_EQ(int(Boxes.size()), c.Questions);
        EXPECT_EQ(::Drawing->ObjectsCount(), c.LinesLeft);
    }
}

// While the tool window shows a command's page, the main window's file, drawing and edit
// commands stay off, however the command ended its long job (an open's busy state ends after its
// page is up); closing the page brings them back.
TEST_F(FileCommandsFromButtons, TheToolbarsStayOffWhileACommandsPageShows)
{
    struct TCase {
        const char* Name;
        std::string File; // opened first; then Vectorize when Trace is set
        bool Trace;
    };
    Start();
    const std::vector<TCase> cases = {
        {"open DXF", Write(Data.Path() + "/lines.dxf", DxfTwoLines), false},
        {"open SVG", RASTREL_TEST_DATA "/svg/shapes.svg", false},
        {"open STL", Write(Data.Path() + "/box.stl", AsciiStl(BoxMesh(0, 0, 0, 10, 20, 5))), false},
        {"open BMP", RASTREL_BUILD_DIR "/bin/samples/lineart.bmp", false},
        {"vectorize", RASTREL_BUILD_DIR "/bin/samples/lineart.bmp", true},
    };
    const auto idle = [&] {
        std::string off;
        for (QWidget* w : std::initializer_list<QWidget*>{Form().tbrFile, Form().tbrCreate, Form().tbrEdit,
                                                          Form().tbrMRU, Form().pgCtrGeoCnc})
            if (!w->isEnabled())
                off += w->objectName().toStdString() + " ";
        for (QAction* a : {Form().sbtNew, Form().sbtOpen, Form().sbtSave, Form().sbtVect, Form().sbtUndo})
            if (!a->isEnabled())
                off += a->objectName().toStdString() + " ";
        return off;
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        if (::Drawing->ObjectsCount() > 0)
            Answers.push_back(TMsgResult::Yes);
        Names.push_back(c.File);
        ClickButton(Form().sbtOpen);
        ASSERT_NE(CurrentFile.Kind, fkFailed);
        ASSERT_TRUE(Answers.empty());
        if (c.Trace) {
            QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtOpenDone"), Qt::LeftButton);
            QApplication::processEvents();
            ASSERT_EQ(idle(), "");
            ClickButton(Form().sbtVect);
        }
        QApplication::processEvents();
        ASSERT_TRUE(ToolWin().isVisible());
        EXPECT_EQ(idle(),
                  "tbrFile tbrCreate tbrEdit tbrMRU pgCtrGeoCnc sbtNew sbtOpen sbtSave sbtVect sbtUndo ");
        EXPECT_TRUE(Form().tbrView->isEnabled());
        ToolWin().close();
        QApplication::processEvents();
        EXPECT_EQ(idle(), "");
    }
}

TEST_F(FileCommandsFromButtons, ADamagedFileIsToldWithItsNameAndChangesNothing)
{
    Start();
    // Merged into a drawing with objects: no clear question, and a damaged file leaves it.
    AddLines(3);
    const std::string bad = Write(Data.Path() + "/bad.pnc", "not a drawing at all");
    Names.push_back(bad);
    Form().mnuMerge->trigger();
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_NE(Boxes[0].Text.find(bad), std::string::npos) << Boxes[0].Text;
    EXPECT_EQ(::Drawing->ObjectsCount(), 3);

    // Opened after the clear question is answered No: nothing happens at all.
    Boxes.clear();
    const std::string dxf = Write(Data.Path() + "/cut.dxf", DxfTwoLines.substr(0, 60) + "0\nLINE\n10\nx\n");
    Names.push_back(dxf);
    Answers.push_back(TMsgResult::No);
    ClickButton(Form().sbtOpen);
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_EQ(Boxes[0].Text, GetLangString(452));
    EXPECT_EQ(Boxes[0].CheckText, GetLangString(723));
    EXPECT_EQ(::Drawing->ObjectsCount(), 3);
    EXPECT_EQ(Names.size(), 1U);
    Names.clear();

    // On a drawing without objects the damaged DXF is told and the drawing stays empty.
    Boxes.clear();
    ::Drawing->DeleteAllObjects();
    Names.push_back(dxf);
    ClickButton(Form().sbtOpen);
    ASSERT_FALSE(Boxes.empty());
    EXPECT_NE(Boxes.back().Text.find(dxf), std::string::npos) << Boxes.back().Text;
    EXPECT_EQ(::Drawing->ObjectsCount(), 0);
    EXPECT_EQ(DlgOpenGeo, nullptr);
    EXPECT_FALSE(ToolWin().isVisible());
}

TEST_F(FileCommandsFromButtons, SaveAsWritesAndRenamesOnlyWhenWritten)
{
    Start();
    AddLines(2);
    const std::string name = Data.Path() + "/saved.pnc";
    Names.push_back(name);
    ClickButton(Form().sbtSave);
    ASSERT_EQ(Dialogs.size(), 1U);
    EXPECT_TRUE(Dialogs[0].Save);
    ASSERT_TRUE(std::filesystem::exists(name));
    EXPECT_EQ(CurrentFile.FileName, name);
    EXPECT_EQ(Main().windowTitle().toStdString(), AppTitle + " - " + name);
    EXPECT_EQ(Main().RecentFiles().front().toStdString(), name);
    EXPECT_TRUE(Boxes.empty());

    // Into a folder that does not exist: told why, the old name, caption and file stay.
    const std::string bytes = FileBytes(name);
    Names.push_back(Data.Path() + "/saved.pnc/inside.pnc");
    Form().mnuSaveAs->trigger();
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_NE(Boxes[0].Text.find("inside.pnc"), std::string::npos) << Boxes[0].Text;
    EXPECT_EQ(CurrentFile.FileName, name);
    EXPECT_EQ(Main().windowTitle().toStdString(), AppTitle + " - " + name);
    EXPECT_EQ(FileBytes(name), bytes);

    // The saved file opens again through the recent-files menu, after the clear question, and
    // the property panel stops showing live values.
    ASSERT_NE(InfoEdit, nullptr);
    InfoEdit->SetReadOnly(true);
    ClickButton(Form().sbtNew);
    EXPECT_EQ(::Drawing->ObjectsCount(), 2); // answered No
    InfoEdit->SetVisible(true);
    Answers.push_back(TMsgResult::Yes);
    ClickButton(Form().sbtNew);
    EXPECT_EQ(::Drawing->ObjectsCount(), 0);
    EXPECT_TRUE(CurrentFile.FileName.empty());
    EXPECT_EQ(Main().windowTitle().toStdString(), AppTitle);
    // A new drawing: no property panel, the geometry tree at its root.
    EXPECT_FALSE(InfoEdit->Layout().GroupVisible);
    EXPECT_TRUE(Main().GeoPage()->Tree().HasRoot());
    QMenu* recent = Main().findChild<QMenu*>("mnuRecentF");
    ASSERT_NE(recent, nullptr);
    ASSERT_FALSE(recent->actions().isEmpty());
    EXPECT_EQ(recent->actions().front()->text().toStdString(), name);
    recent->actions().front()->trigger();
    EXPECT_EQ(::Drawing->ObjectsCount(), 2);
    EXPECT_EQ(CurrentFile.FileName, name);
    EXPECT_FALSE(InfoEdit->LiveInfo());
}

TEST_F(FileCommandsFromButtons, EscOnTheBarStopsAnOpenAndTheDrawingStaysEmpty)
{
    Start();
    TQV_01Cmp2D lines;
    for (int i = 0; i < 400; ++i)
        lines.AddObject(-1,
                        std::make_unique<TLine2D>(-1, TPoint2D{double(i), 0, 1}, TPoint2D{double(i), 9, 1}));
    const std::string file = Data.Path() + "/many.pnc";
    lines.SaveToFile(file);
    // Every step of the bar looks at the events; the user pressed Esc as the open starts.
    uint32_t clock = 0;
    Main().ProgressBar().TickCount = [&] { return clock += 2000; };
    Names.push_back(file);
    QApplication::postEvent(&Main(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    Form().sbtOpen->trigger();
    // Told once, by the bar.
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_EQ(Boxes[0].Text.substr(0, GetLangString(720).size()), GetLangString(720));
    EXPECT_EQ(::Drawing->ObjectsCount(), 0);
    EXPECT_EQ(CurrentFile.Kind, fkFailed);
    EXPECT_FALSE(Form().ProgressBar1->isVisible());
    EXPECT_TRUE(Form().tbrFile->isEnabled());

    // Without Esc it opens whole.
    Names.push_back(file);
    Form().sbtOpen->trigger();
    EXPECT_EQ(::Drawing->ObjectsCount(), 400);
    EXPECT_EQ(CurrentFile.FileName, file);
}

// What a new user does first: open the sample scan, keep its place, vectorize it, look at the
// traced lines and take them into the drawing.
TEST_F(FileCommandsFromButtons, TheSampleScanOpensAndTracesIntoTheDrawing)
{
    Start();
    Names.push_back(RASTREL_BUILD_DIR "/bin/samples/lineart.bmp");
    ClickButton(Form().sbtOpen);
    ASSERT_EQ(CurrentFile.Kind, fkBmp);
    ASSERT_EQ(::Drawing->ObjectsCount(), 1);
    QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtOpenDone"), Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_FALSE(ToolWin().isVisible());

    Form().sbtVect->trigger();
    ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
    ASSERT_TRUE(ToolWin().isVisible());
    EXPECT_EQ(ToolWin().Pages()->currentWidget()->objectName(), "sheetVectorize");
    QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtPreviewVect"), Qt::LeftButton);
    ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
    QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtVectDone"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(ToolWin().isVisible());
    // The picture and, beside it, the traced lines.
    EXPECT_GT(::Drawing->ObjectsCount(), 10);
}

// Save as added ".pnc" after the dialog, which had asked about the name without it: an existing
// "name.pnc" was replaced without a question.
TEST_F(FileCommandsFromButtons, SaveAsAsksBeforeReplacingTheFileItsExtensionNames)
{
    Start();
    AddLines(2);
    const std::string kept = Write(Data.Path() + "/plan.pnc", "the user's other drawing");
    struct TCase {
        const char* Name;
        std::string Typed;
        std::deque<TMsgResult> Answers;
        bool Asked;
        std::string Written; // empty: nothing written
    };
    const TCase cases[] = {
        {"an existing file, No", Data.Path() + "/plan", {TMsgResult::No}, true, ""},
        {"a new name", Data.Path() + "/fresh", {}, false, Data.Path() + "/fresh.pnc"},
        {"an existing file, Yes", Data.Path() + "/plan", {TMsgResult::Yes}, true, kept},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string before = CurrentFile.FileName;
        Boxes.clear();
        Dialogs.clear();
        Answers = c.Answers;
        Names.push_back(c.Typed);
        ClickButton(Form().sbtSave);
        ASSERT_EQ(Dialogs.size(), 1U);
        // The dialog itself knows the extension, so that it asks about the whole name.
        EXPECT_EQ(Dialogs[0].DefaultSuffix, "pnc");
        ASSERT_EQ(Boxes.size(), c.Asked ? 1U : 0U);
        if (c.Asked) {
            EXPECT_NE(Boxes[0].Text.find(kept), std::string::npos) << Boxes[0].Text;
            EXPECT_EQ(Boxes[0].Buttons, TMsgButtons::YesNo);
        }
        if (c.Written.empty()) {
            EXPECT_EQ(FileBytes(kept), "the user's other drawing");
            EXPECT_EQ(CurrentFile.FileName, before);
        } else {
            EXPECT_NE(FileBytes(c.Written), "the user's other drawing");
            EXPECT_EQ(CurrentFile.FileName, c.Written);
        }
    }
}

// After an open the property panel still showed an object of the drawing before, with an Apply
// that reached nothing.
TEST_F(FileCommandsFromButtons, AnOpenLeavesNoObjectOfTheDrawingBeforeInThePropertyPanel)
{
    Start();
    AddLines(2);
    QApplication::processEvents();
    TGeoPage& page = *Main().GeoPage();
    QTreeView* tree = page.TreeView();
    tree->expandAll();
    const QModelIndex node = page.Model().index(0, 0, page.Model().LayerIndex(0));
    ASSERT_TRUE(node.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(node).center());
    ASSERT_NE(page.Panel().Entity, nullptr);
    ASSERT_TRUE(page.PanelWidget()->isVisible());
    ASSERT_EQ(page.PanelWidget()->ButtonCount(), 1); // Apply
    EXPECT_TRUE(page.PanelWidget()->Button(0)->isVisible());

    Names.push_back(Write(Data.Path() + "/lines.dxf", DxfTwoLines));
    Answers.push_back(TMsgResult::Yes); // the clear question
    ClickButton(Form().sbtOpen);
    ASSERT_EQ(CurrentFile.Kind, fkDxf);
    QTest::mouseClick(ToolWin().findChild<QPushButton*>("sbtOpenDone"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(page.Panel().Entity, nullptr);
    EXPECT_FALSE(page.PanelWidget()->isVisible());
    EXPECT_EQ(page.PanelWidget()->ButtonCount(), 0);
}
