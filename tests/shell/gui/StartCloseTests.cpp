// The program's start and close: the close question, what Yes writes and when, the file named on
// the command line, a damaged block library.
#include "ShellFixture.h"

#include "IniFile.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVLayers.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneCamera.h"
#include "UnitConfig.h"

#include <filesystem>
#include <fstream>

namespace {
std::string WriteDrawing(const std::string& Folder, const std::vector<std::pair<TPoint2D, TPoint2D>>& Lines)
{
    // Run alone, a test writes its file before the program registers the classes.
    RegisterDrawingClasses();
    TQV_01Cmp2D d;
    for (const auto& [a, b] : Lines)
        d.AddObject(-1, std::make_unique<TLine2D>(-1, a, b));
    const std::string name = Folder + "/drawing.pnc";
    d.SaveToFile(name);
    return name;
}

std::string FileText(const std::string& Name)
{
    std::ifstream in(Name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
} // namespace

using StartAndClose = TShellFixture;

TEST_F(StartAndClose, NoKeepsTheWindowAndTheDrawing)
{
    Start();
    ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}));
    Answers.push_back(TMsgResult::No);
    EXPECT_FALSE(Main().close());
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_EQ(Boxes[0].Text, GetLangString(451));
    EXPECT_EQ(Boxes[0].Caption, GetLangString(450));
    EXPECT_EQ(Boxes[0].Buttons, TMsgButtons::YesNo);
    EXPECT_EQ(Boxes[0].Icon, TMsgIcon::Warning);
    EXPECT_TRUE(Main().isVisible());
    ASSERT_NE(::Drawing, nullptr);
    EXPECT_EQ(::Drawing->ObjectsCount(), 1);
    EXPECT_NE(AppConfig, nullptr);
    EXPECT_FALSE(std::filesystem::exists(Data.Path() + "/rastrel.ini") &&
                 FileText(Data.Path() + "/rastrel.ini").find("[MRURF]") != std::string::npos);
}

TEST_F(StartAndClose, YesWritesTheSettingsBeforeAnythingIsFreed)
{
    Start();
    Main().AddRecentFile("/some/where/a.pnc");
    Main().AddRecentFile("/some/where/b.dxf");
    AppConfig->GridX = 7.5;
    std::string written;
    bool objectsAlive = false;
    Main().Hooks.BeforeRelease = [&] {
        written = FileText(Data.Path() + "/rastrel.ini");
        objectsAlive = AppConfig && ::Drawing && DrawingView && CADProgram && LanguageIni;
    };
    Answers.push_back(TMsgResult::Yes);
    EXPECT_TRUE(Main().close());
    EXPECT_TRUE(objectsAlive);
    EXPECT_NE(written.find("[Toolbar]"), std::string::npos) << written;
    EXPECT_NE(written.find("[MRURF]"), std::string::npos);
    EXPECT_NE(written.find("b.dxf"), std::string::npos);
    EXPECT_NE(written.find("7.5"), std::string::npos);
    // Afterwards the program-wide objects are gone.
    EXPECT_EQ(AppConfig, nullptr);
    EXPECT_EQ(::Drawing, nullptr);
    EXPECT_EQ(DrawingView, nullptr);
    EXPECT_EQ(CADProgram, nullptr);
    End();

    // The next start reads the recent files back.
    Boxes.clear();
    Start();
    EXPECT_EQ(Main().RecentFiles(), QStringList({"/some/where/b.dxf", "/some/where/a.pnc"}));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(StartAndClose, TheCommandLineFileOpensAfterTheZoomToExtents)
{
    const std::string file =
        WriteDrawing(Data.Path(), {{{1000, 1000, 1}, {1100, 1000, 1}}, {{1000, 1000, 1}, {1000, 1050, 1}}});
    bool zoomedBeforeOpen = false;
    bool opened = false;
    Make(file);
    TfrmMain& m = Main();
    auto open = m.Hooks.OpenFile;
    m.Hooks.OpenFile = [&](const std::string& Name) {
        // The view already shows the empty drawing's grid area around the origin.
        const TPoint o = DrawingView->WorldToScreen({0, 0, 1});
        zoomedBeforeOpen =
            o.X > 0 && o.X < DrawingView->ViewerWidth() && o.Y > 0 && o.Y < DrawingView->ViewerHeight();
        open(Name);
        opened = true;
    };
    m.resize(1000, 700);
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
    QTRY_VERIFY(opened);
    EXPECT_TRUE(zoomedBeforeOpen);
    EXPECT_EQ(::Drawing->ObjectsCount(), 2);
    EXPECT_EQ(CurrentFile.FileName, file);
    EXPECT_TRUE(m.windowTitle().endsWith(QString::fromStdString(file)));
    // The opened drawing fills the view.
    const TPoint p = DrawingView->WorldToScreen({1050, 1025, 1});
    EXPECT_GT(p.X, 0);
    EXPECT_LT(p.X, DrawingView->ViewerWidth());
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(StartAndClose, ABadFileOnTheCommandLineIsToldAndTheProgramRuns)
{
    std::ofstream(Data.Path() + "/bad.pnc") << "not a drawing";
    Start(Data.Path() + "/bad.pnc");
    QTRY_COMPARE(Boxes.size(), size_t{1});
    EXPECT_EQ(Boxes[0].Icon, TMsgIcon::Warning);
    EXPECT_NE(Boxes[0].Text.find(Data.Path() + "/bad.pnc"), std::string::npos) << Boxes[0].Text;
    EXPECT_EQ(::Drawing->ObjectsCount(), 0);
    EXPECT_TRUE(Main().isVisible());
}

TEST_F(StartAndClose, ADamagedBlockLibraryIsToldAndTheStartGoesOn)
{
    TfrmMain::BlockLibraryFolder = Data.Path();
    std::ofstream(Data.Path() + "/Library.blk", std::ios::binary) << "QV-3.6" << std::string(3, '\xff');
    Start();
    TfrmMain::BlockLibraryFolder.clear();
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_NE(Boxes[0].Text.find("Library.blk"), std::string::npos);
    EXPECT_EQ(Boxes[0].Icon, TMsgIcon::Warning);
    // Everything the start makes after the library is there.
    EXPECT_NE(CADProgram, nullptr);
    EXPECT_NE(InfoEdit, nullptr);
    EXPECT_EQ(::Drawing->SourceBlocksCount(), 0);
}

TEST_F(StartAndClose, TheAxesFollowTheirSetting)
{
    {
        TMemIniFile ini(Data.Path() + "/rastrel.ini");
        ini.WriteBool("Default", "SAxis", false);
        ini.UpdateFile();
    }
    Start();
    ASSERT_FALSE(AppConfig->SAxis);
    EXPECT_FALSE(DrawingView->AxesVisible());
    EXPECT_FALSE(Form().sbtAxisOnOff->isChecked());
}

// "Layers.ini" came into force only after the first clear of the drawing: at start every layer
// had its default colour and name.
TEST_F(StartAndClose, TheLayerSettingsFileHoldsFromTheStart)
{
    std::ofstream(Data.Path() + "/Layers.ini") << "[LayersCol]\n0=255\n[LayersPen]\n3=4\n"
                                                  "[LayersName]\n0=Outline\n3=Holes\n";
    Start();
    const TQV_21Layer& outline = ::Drawing->Layers.GetLayer(0);
    EXPECT_EQ(outline.Name, "Outline");
    EXPECT_EQ(outline.Pen.Color(), 255);
    EXPECT_EQ(::Drawing->Layers.GetLayer(3).Name, "Holes");
    EXPECT_EQ(::Drawing->Layers.GetLayer(3).Pen.Width(), 4);
    EXPECT_EQ(::Drawing->Layers.GetLayer(4).Name, "Layer_4");
    // Settings from the file are no edit of the drawing.
    EXPECT_FALSE(outline.Modified);
    // The status bar shows the current layer's colour: red.
    const QColor shown = Main().findChild<QWidget*>("SpTBXCLCol")->palette().color(QPalette::Window);
    EXPECT_EQ(shown, QColor(255, 0, 0));
}
