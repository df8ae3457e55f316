// The file commands without the window: each kind of file opened from a small fixture, merge,
// clear, save and save as, damaged files of each kind (a message naming the file, the drawing as
// before), the recent files and "Layers.ini".
#include "FileCommands.h"

#include "BmpTestWriter.h"
#include "EnglishTexts.h"
#include "FakeServices.h"
#include "IniFile.h"
#include "JpegTestWriter.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVLanguage.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVStock.h"
#include "QVSurf3D.h"
#include "QVVariabili.h"
#include "StlFixtures.h"
#include "SvgFixtures.h"
#include "TempFolder.h"
#include "VecRasInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

class TFakeHost : public TFileCommandsHost {
public:
    std::string AskOpenFileName(bool Merge, const std::string&) override
    {
        AskedMerge = Merge;
        return OpenName;
    }
    std::string AskSaveFileName(const std::string& Suggested) override
    {
        SuggestedNames.push_back(Suggested);
        return SaveName;
    }
    bool AskClear(bool& DeleteOperations) override
    {
        ++ClearQuestions;
        DeleteOperations = ClearOperations;
        return ClearAnswer;
    }
    TVecRasPlacement& NewPlacementPanel(TQV_01Cmp2D& Drawing) override
    {
        Panel.reset();
        Panel = std::make_unique<TVecRasPlacement>(Drawing);
        return *Panel;
    }
    void SetCaption(const std::string& C) override { Caption = C; }
    void SetBusy(bool B) override { Busy = B; }
    TJobProgress& Progress() override { return Recorder; }
    void DeleteOperations() override { ++OperationsDeleted; }

    std::string OpenName, SaveName, Caption;
    std::vector<std::string> SuggestedNames;
    bool AskedMerge = false, ClearAnswer = true, ClearOperations = true, Busy = false;
    int ClearQuestions = 0, OperationsDeleted = 0;
    // Each percent reported, then -1 when the progress ends.
    std::vector<int> Steps;
    // The user breaks off at this report (1 the first); 0 never.
    int BreakAtStep = 0;
    std::unique_ptr<TVecRasPlacement> Panel;

private:
    class TRecorder : public TJobProgress {
    public:
        TRecorder(std::vector<int>& Steps, const int& BreakAt) : Steps(Steps), BreakAt(BreakAt) {}
        void Begin() override {}
        void Report(int64_t Done, int64_t) override
        {
            Steps.push_back(static_cast<int>(Done));
            if (static_cast<int>(Steps.size()) == BreakAt)
                throw EUserBreak();
        }
        void End() override { Steps.push_back(-1); }

    private:
        std::vector<int>& Steps;
        const int& BreakAt;
    } Recorder{Steps, BreakAtStep};
};

// A picture with ink in its left half.
struct THalfPicture {
    int Width() const { return 16; }
    int Height() const { return 8; }
    bool Ink(int x, int) const { return x < 8; }
};

struct TCommandsFixture : ::testing::Test {
    TEnglishTexts Texts;
    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
    TTempFolder Folder;
    TQV_01Cmp2D Drawing;
    TFakeHost Host;
    TFileCommands Commands{Drawing, Host};

    TCommandsFixture()
    {
        RegisterDrawingClasses();
        CurrentFile = {};
        CurrentBitmap = nullptr;
        LoadStatusMessages();
    }
    ~TCommandsFixture() override { CurrentFile = {}; }

    std::string Path(const std::string& Name) const { return Folder.Path() + "/" + Name; }
    void AddLine(double X1, double Y1, double X2, double Y2)
    {
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{X1, Y1, 1}, TPoint2D{X2, Y2, 1}));
    }
    std::string Write(const std::string& Name, const std::vector<uint8_t>& Bytes) const
    {
        EXPECT_TRUE(WriteBytes(Path(Name), Bytes));
        return Path(Name);
    }
    std::string Write(const std::string& Name, const std::string& Text) const
    {
        return Write(Name, std::vector<uint8_t>(Text.begin(), Text.end()));
    }
    // A drawing file with two lines, written by another drawing.
    std::string WriteDrawing(const std::string& Name) const
    {
        TQV_01Cmp2D other;
        other.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{5, 5, 1}));
        other.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{1, 0, 1}, TPoint2D{1, 9, 1}));
        other.SaveToFile(Path(Name));
        return Path(Name);
    }
    static std::vector<uint8_t> Bytes(const std::string& Name)
    {
        std::ifstream f(Name, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    // A binary STL file of the box (0, 0, 0)-(10, 20, 5), as bytes.
    static const std::vector<uint8_t>& StlBytes()
    {
        static const std::vector<uint8_t> bytes = [] {
            TStreamWriter w;
            WriteStlBlock(w, BoxMesh(0, 0, 0, 10, 20, 5), "box");
            return w.TakeBytes();
        }();
        return bytes;
    }
    static std::vector<uint8_t> AsciiBytes(const std::string& Text) { return {Text.begin(), Text.end()}; }
    TQV_STLSurf* OnlySurface()
    {
        auto it = Drawing.ObjectsIterator();
        TGraphicObject* first = it.First();
        return Drawing.ObjectsCount() == 1 ? dynamic_cast<TQV_STLSurf*>(first) : nullptr;
    }
    std::string LastBox() const { return Window.Boxes.empty() ? std::string() : Window.Boxes.back().Text; }
};

const std::string DxfTwoLines = "0\nSECTION\n2\nENTITIES\n"
                                "0\nLINE\n8\n0\n10\n10\n20\n20\n11\n110\n21\n20\n"
                                "0\nLINE\n8\n0\n10\n10\n20\n70\n11\n110\n21\n70\n"
                                "0\nENDSEC\n0\nEOF\n";

} // namespace

TEST(FileKinds, ByExtensionInAnyCase)
{
    struct TCase {
        const char* Name;
        TFileKind Open;
        int Save;
    };
    const TCase cases[] = {
        {"a.pnc", fkNative, 1},     {"a.PNC", fkNative, 1}, {"a.dxf", fkDxf, 2},    {"a.Dxf", fkDxf, 2},
        {"a.svg", fkSvg, 0},        {"a.bmp", fkBmp, 0},    {"a.jpg", fkJpeg, 0},   {"a.JPEG", fkJpeg, 0},
        {"a.stl", fkStl, 0},        {"a.txt", fkFailed, 3}, {"a.hgl", fkFailed, 4}, {"a", fkFailed, 0},
        {"dir.dxf/a", fkFailed, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(OpenKindOfName(c.Name), c.Open);
        EXPECT_EQ(IndiceExt(c.Name), c.Save);
    }
}

TEST_F(TCommandsFixture, OpensEachKindWithItsPlacement)
{
    const std::string pnc = WriteDrawing("two.pnc");
    ASSERT_TRUE(Commands.OpenGeo(pnc, false));
    EXPECT_EQ(CurrentFile.Kind, fkNative);
    EXPECT_EQ(CurrentFile.FileName, pnc);
    EXPECT_EQ(Drawing.ObjectsCount(), 2);
    EXPECT_EQ(Host.Caption, AppTitle + " - " + pnc);
    EXPECT_FALSE(Host.Busy);

    // A drawing with objects asks first.
    const std::string dxf = Write("lines.DXF", DxfTwoLines);
    Host.Steps.clear();
    ASSERT_TRUE(Commands.OpenGeo(dxf, false));
    // The bar goes to the end of the file and then away.
    EXPECT_EQ(Host.Steps, (std::vector<int>{100, -1}));
    EXPECT_EQ(Host.ClearQuestions, 1);
    EXPECT_EQ(CurrentFile.Kind, fkDxf);
    EXPECT_EQ(Drawing.ObjectsCount(), 2);
    ASSERT_TRUE(Host.Panel);
    EXPECT_DOUBLE_EQ(Host.Panel->SizeX, 100);
    EXPECT_DOUBLE_EQ(Host.Panel->SizeY, 50);
    EXPECT_TRUE(Host.Panel->RotationAllowed);

    TBmpEncoding bmp;
    const std::string bmpName = Write("p.bmp", EncodeBmp(THalfPicture{}, bmp));
    ASSERT_TRUE(Commands.OpenGeo(bmpName, false));
    EXPECT_EQ(CurrentFile.Kind, fkBmp);
    ASSERT_EQ(Drawing.ObjectsCount(), 1);
    ASSERT_NE(CurrentBitmap, nullptr);
    ASSERT_NE(Commands.SourceBitmap(), nullptr);
    EXPECT_EQ(Commands.SourceBitmap()->Width(), 16);
    // The picture is held once: the image shows the one the tracer reads.
    EXPECT_EQ(&std::as_const(*CurrentBitmap).Bitmap(), Commands.SourceBitmap());
    EXPECT_EQ(Host.Panel->Bits, 24);
    EXPECT_TRUE(Host.Panel->IsApplied());

    // 254 dots per inch in millimetre mode: a tenth of a millimetre per pixel.
    TJpegEncoding jpeg;
    jpeg.XDensity = jpeg.YDensity = 254;
    const std::string jpgName = Write("p.jpg", EncodeJpeg(
                                                   30, 20, [](int, int) { return 0x808080u; }, jpeg));
    ASSERT_TRUE(Commands.OpenGeo(jpgName, false));
    EXPECT_EQ(CurrentFile.Kind, fkJpeg);
    EXPECT_EQ(Host.Panel->ResolutionX, 254);
    EXPECT_EQ(Host.Panel->Bits, 24);
    TRect2D r;
    Drawing.GetExtents(r);
    EXPECT_NEAR(r.Second.X - r.First.X, 3, 1e-9);
    EXPECT_NEAR(r.Second.Y - r.First.Y, 2, 1e-9);
    EXPECT_FALSE(Host.Steps.empty());
    EXPECT_EQ(Commands.RecentFiles().Items().front(), jpgName);
}

TEST_F(TCommandsFixture, SvgOpensByItsWholeName)
{
    // A path longer than 255 characters reaches the reader whole.
    const std::string folder = Path(std::string(120, 'a')) + "/" + std::string(120, 'b');
    std::filesystem::create_directories(folder);
    const std::string name = folder + "/drawing.svg";
    ASSERT_GT(name.size(), 255u);
    Write(name.substr(Folder.Path().size() + 1),
          "<svg xmlns='http://www.w3.org/2000/svg'><line x1='0' y1='0' x2='4' y2='-2'/></svg>");
    ASSERT_TRUE(Commands.OpenGeo(name, false));
    EXPECT_EQ(Drawing.ObjectsCount(), 1);
    EXPECT_EQ(CurrentFile.Kind, fkSvg);
    EXPECT_EQ(CurrentFile.FileName, name);
    ASSERT_TRUE(Host.Panel);
    EXPECT_DOUBLE_EQ(Host.Panel->SizeX, 4);
    EXPECT_DOUBLE_EQ(Host.Panel->SizeY, 2);
    EXPECT_TRUE(Host.Panel->RotationAllowed);
    EXPECT_TRUE(ControlsReady);
}

TEST_F(TCommandsFixture, ABreakDuringAnSvgImportPutsTheDrawingBack)
{
    std::string body;
    for (int i = 0; i < 120; ++i)
        body += "<line x1='" + std::to_string(i) + "' x2='" + std::to_string(i + 1) + "' fill='red'/>";
    const std::string name = Write("lines.svg", "<svg>" + body + "</svg>");
    const int32_t pen = Drawing.Layers.GetLayer(155).Pen.Color();
    Host.BreakAtStep = 2;
    EXPECT_FALSE(Commands.OpenGeo(name, false));
    EXPECT_EQ(Host.Steps, (std::vector<int>{0, 42, -1}));
    EXPECT_EQ(Drawing.ObjectsCount(), 0);
    EXPECT_EQ(Drawing.Layers.GetLayer(155).Pen.Color(), pen);
    EXPECT_EQ(CurrentFile.Kind, fkFailed);
    // The bar has told the user already.
    EXPECT_TRUE(Window.Boxes.empty());

    Host.BreakAtStep = 0;
    ASSERT_TRUE(Commands.OpenGeo(name, false));
    EXPECT_EQ(Drawing.ObjectsCount(), 120);
    EXPECT_EQ(Drawing.Layers.GetLayer(155).Pen.Color(), 0x2F2FFF);
}

TEST_F(TCommandsFixture, DamagedFilesLeaveTheDrawingAsItWas)
{
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    std::vector<uint8_t> jpeg = EncodeJpeg(32, 32, [](int x, int) { return x * 0x070707u; });
    jpeg.resize(jpeg.size() / 2);
    std::vector<uint8_t> bmp = EncodeBmp(THalfPicture{}, TBmpEncoding{});
    bmp.resize(60);
    const std::string dxfText = DxfTwoLines.substr(0, DxfTwoLines.size() / 2) + "0\nLINE\n10\nnot a number\n";
    std::vector<uint8_t> pnc = Bytes(WriteDrawing("good.pnc"));
    pnc.resize(pnc.size() - 20);
    const std::vector<TCase> cases = {
        {"cut.jpg", jpeg},
        {"cut.bmp", bmp},
        {"bad.dxf", std::vector<uint8_t>(dxfText.begin(), dxfText.end())},
        {"cut.pnc", pnc},
        {"mesh.stl", std::vector<uint8_t>(84, 0)},
        {"cut.stl", std::vector<uint8_t>(StlBytes().begin(), StlBytes().end() - 30)},
        {"text.stl", AsciiBytes("solid s\n facet normal 0 0 1\n  outer loop\n   vertex 0 0 zero\n")},
        {"picture.svg", std::vector<uint8_t>{'<', 's'}},
        {"laughs.svg", AsciiBytes(SvgBillionLaughs())},
        {"deep.svg", AsciiBytes(SvgDeepGroups(5000))},
        {"huge.svg", AsciiBytes("<svg><line x2='1'/><line x2='1e308' transform='scale(10)'/></svg>")},
    };
    // Merge keeps the drawing's objects when the file is bad; an open of another kind into a
    // drawing with objects is asked first and refused here, so those start from an empty one.
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        const bool merge = std::string(c.Name).ends_with(".pnc");
        if (merge)
            AddLine(0, 0, 1, 1);
        const int before = Drawing.ObjectsCount();
        Window.Boxes.clear();
        const std::string name = Write(c.Name, c.Bytes);
        EXPECT_FALSE(Commands.OpenGeo(name, merge));
        EXPECT_EQ(Drawing.ObjectsCount(), before);
        EXPECT_EQ(CurrentFile.Kind, fkFailed);
        ASSERT_FALSE(Window.Boxes.empty());
        EXPECT_NE(LastBox().find(name), std::string::npos) << LastBox();
        EXPECT_FALSE(Host.Busy);
        // The name asked for is in the recent files all the same.
        EXPECT_EQ(Commands.RecentFiles().Items().front(), name);
    }
}

TEST_F(TCommandsFixture, OpensBinaryAndTextStlSurfaces)
{
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    const TCase cases[] = {
        {"binary.stl", StlBytes()},
        {"text.STL", AsciiBytes(AsciiStl(BoxMesh(0, 0, 0, 10, 20, 5)))},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(Commands.OpenGeo(Write(c.Name, c.Bytes), false));
        EXPECT_EQ(CurrentFile.Kind, fkStl);
        TQV_STLSurf* surface = OnlySurface();
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->Triangles().size(), 12u);
        ASSERT_TRUE(Host.Panel);
        EXPECT_TRUE(Host.Panel->StlMode);
        EXPECT_FALSE(Host.Panel->RotationAllowed);
        EXPECT_EQ(Host.Panel->Surface(), surface);
        EXPECT_DOUBLE_EQ(Host.Panel->SizeX, 10);
        EXPECT_DOUBLE_EQ(Host.Panel->SizeY, 20);
        EXPECT_DOUBLE_EQ(Host.Panel->SizeZ, 5);
        EXPECT_TRUE(ControlsReady);
    }
}

TEST_F(TCommandsFixture, AnStlPlacementScalesAndMovesTheSurfaceOnceHoweverOftenApplied)
{
    ASSERT_TRUE(Commands.OpenGeo(Write("box.stl", StlBytes()), false));
    TVecRasPlacement& panel = *Host.Panel;
    TQV_STLSurf* surface = OnlySurface();
    ASSERT_NE(surface, nullptr);
    // Z sized to 10 with the ratio lock: twice as large on every axis, the top centre at the zero.
    ASSERT_TRUE(panel.SetSize(2, 10));
    EXPECT_DOUBLE_EQ(panel.ScaledSize(0), 20);
    panel.SetOriginByCorner(ocCentre);
    panel.SetZOrigin(true);
    EXPECT_FALSE(panel.IsApplied());
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        panel.ApplyClick();
        EXPECT_TRUE(panel.IsApplied());
        const TRect3D b = surface->Box3D;
        EXPECT_DOUBLE_EQ(b.First.X, -10);
        EXPECT_DOUBLE_EQ(b.First.Y, -20);
        EXPECT_DOUBLE_EQ(b.First.Z, -10);
        EXPECT_DOUBLE_EQ(b.Second.X, 10);
        EXPECT_DOUBLE_EQ(b.Second.Y, 20);
        EXPECT_DOUBLE_EQ(b.Second.Z, 0);
        // A save between two Applies leaves them as one.
        TStreamWriter w;
        Drawing.SaveToStream(w);
    }
    // A typed origin in Z, then the bottom radio.
    panel.SetOriginTyped(2, 4);
    panel.Apply(false);
    EXPECT_DOUBLE_EQ(surface->Box3D.First.Z, -4);
    panel.SetZOrigin(false);
    panel.Apply(false);
    EXPECT_DOUBLE_EQ(surface->Box3D.First.Z, 0);
    // The panel outlives no surface: cleared, Apply has nothing to place.
    Drawing.DeleteAllObjects();
    EXPECT_EQ(panel.Surface(), nullptr);
    panel.ApplyClick();
}

TEST_F(TCommandsFixture, TheDepthTestAndTheStockBoxFollowWhatWasOpened)
{
    TQVScene view;
    view.AttachDrawing(&Drawing);
    DrawingView = &view;
    InstallStockBox(view);
    const auto meshes = [&] {
        int n = 0;
        for (int i = 0; i < view.Group3D->Count(); ++i)
            n += view.Group3D->Child(i)->Kind() == TSceneNodeKind::Mesh;
        return n;
    };

    ASSERT_TRUE(Commands.OpenGeo(Write("box.stl", StlBytes()), false));
    EXPECT_TRUE(view.Scene->DepthTest());
    EXPECT_EQ(meshes(), 1);
    ASSERT_NE(Grezzo, nullptr);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 5);
    EXPECT_DOUBLE_EQ(Grezzo->Contour()[2].Y, 20);
    // Placed, the stock box follows the surface.
    ASSERT_TRUE(Host.Panel->SetSize(0, 20));
    Host.Panel->ApplyClick();
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 10);

    // Another file: the surface and its mesh go, and the depth test is off.
    ASSERT_TRUE(Commands.OpenGeo(Write("lines.dxf", DxfTwoLines), false));
    EXPECT_FALSE(view.Scene->DepthTest());
    EXPECT_EQ(meshes(), 0);

    // Clearing the drawing renews the stock box: nothing of the surface's box is left.
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 0);
    EXPECT_DOUBLE_EQ(Grezzo->StockBox.Second.X, 0);

    // A damaged surface changes nothing in the view (opened into an empty drawing, so that no
    // clear comes first).
    std::vector<uint8_t> cut = StlBytes();
    cut.resize(cut.size() - 1);
    Drawing.DeleteAllObjects();
    Grezzo->SetBox(MakeRect3D(1, 2, 3, 4, 5, 6));
    EXPECT_FALSE(Commands.OpenGeo(Write("cut.stl", cut), false));
    EXPECT_NE(LastBox().find("cut.stl"), std::string::npos);
    EXPECT_FALSE(view.Scene->DepthTest());
    EXPECT_EQ(meshes(), 0);
    EXPECT_DOUBLE_EQ(Grezzo->StockBox.First.Z, 3);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 3);
    DrawingView = nullptr;
}

// The placement panel frames what it places with the wire-frame preview box, for a DXF file as
// for a picture.
TEST_F(TCommandsFixture, ThePreviewBoxFramesAnOpenedDrawingOrPicture)
{
    TQVScene view;
    view.AttachDrawing(&Drawing);
    DrawingView = &view;
    TBmpEncoding bmp;
    struct TCase {
        const char* Name;
        std::string File;
    };
    const std::vector<TCase> cases = {
        {"DXF", Write("lines.dxf", DxfTwoLines)},
        {"BMP", Write("p.bmp", EncodeBmp(THalfPicture{}, bmp))},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        ASSERT_TRUE(Commands.OpenGeo(c.File, false));
        ASSERT_TRUE(Host.Panel);
        const TLineStrip* box = Host.Panel->PreviewBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->Parent(), view.Group3D);
        // Around what was placed: the drawing's extents, not empty.
        TRect2D want{};
        Drawing.GetExtents(want);
        ASSERT_LT(want.First.X, want.Second.X);
        const std::vector<TVector3f>& n = box->Nodes();
        ASSERT_EQ(n.size(), 5U);
        EXPECT_NEAR(std::min(n[0].X, n[2].X), want.First.X, 1e-4);
        EXPECT_NEAR(std::min(n[0].Y, n[2].Y), want.First.Y, 1e-4);
        EXPECT_NEAR(std::max(n[0].X, n[2].X), want.Second.X, 1e-4);
        EXPECT_NEAR(std::max(n[0].Y, n[2].Y), want.Second.Y, 1e-4);
    }
    Host.Panel.reset();
    DrawingView = nullptr;
}

TEST_F(TCommandsFixture, MergeAddsAndLeavesNoName)
{
    AddLine(0, 0, 1, 1);
    Host.OpenName = WriteDrawing("merged.pnc");
    ASSERT_TRUE(Commands.OpenGeo("", true));
    EXPECT_TRUE(Host.AskedMerge);
    EXPECT_EQ(Host.ClearQuestions, 0);
    EXPECT_EQ(Drawing.ObjectsCount(), 3);
    EXPECT_EQ(CurrentFile.Kind, fkNative);
    EXPECT_TRUE(CurrentFile.FileName.empty());
}

TEST_F(TCommandsFixture, ClearAnsweredNoChangesNothing)
{
    AddLine(0, 0, 1, 1);
    CurrentFile.FileName = "kept.pnc";
    Host.ClearAnswer = false;
    EXPECT_FALSE(Commands.OpenGeo(WriteDrawing("other.pnc"), false));
    EXPECT_EQ(Drawing.ObjectsCount(), 1);
    EXPECT_EQ(CurrentFile.FileName, "kept.pnc");

    Host.ClearAnswer = true;
    for (const bool operations : {false, true}) {
        AddLine(0, 0, 1, 1);
        Host.ClearOperations = operations;
        const int deleted = Host.OperationsDeleted;
        ASSERT_TRUE(Commands.CancellatoTutto());
        EXPECT_EQ(Drawing.ObjectsCount(), 0);
        EXPECT_EQ(Host.OperationsDeleted - deleted, operations ? 1 : 0);
        EXPECT_EQ(Host.Caption, AppTitle);
    }
}

TEST_F(TCommandsFixture, SaveAsWritesTheSameBytesAndRenamesOnlyOnSuccess)
{
    const std::string first = WriteDrawing("first.pnc");
    ASSERT_TRUE(Commands.OpenGeo(first, false));
    Host.SaveName = Path("second.pnc");
    ASSERT_TRUE(Commands.SaveAs());
    EXPECT_EQ(Host.SuggestedNames.back(), Path("first"));
    EXPECT_EQ(Bytes(Path("second.pnc")), Bytes(first));
    EXPECT_EQ(CurrentFile.FileName, Path("second.pnc"));
    EXPECT_EQ(Commands.RecentFiles().Items().front(), Path("second.pnc"));

    // A folder that cannot be written: the reason is told, the old name and file stay.
    const std::vector<uint8_t> saved = Bytes(Path("second.pnc"));
    Host.SaveName = Path("second.pnc/inside.pnc");
    const std::string caption = Host.Caption;
    EXPECT_FALSE(Commands.SaveAs());
    EXPECT_NE(LastBox().find("inside.pnc"), std::string::npos) << LastBox();
    EXPECT_EQ(CurrentFile.FileName, Path("second.pnc"));
    EXPECT_EQ(Host.Caption, caption);
    EXPECT_EQ(Commands.RecentFiles().Items().front(), Path("second.pnc"));
    EXPECT_EQ(Bytes(Path("second.pnc")), saved);

    // Formats without a writer and unknown ones write nothing and rename nothing.
    struct TCase {
        const char* Name;
        int Text, Caption;
    };
    for (const TCase& c : {TCase{"x.hgl", 403, 404}, TCase{"x.dxf", 403, 404}, TCase{"x.abc", 458, 406}}) {
        SCOPED_TRACE(c.Name);
        Host.SaveName = Path(c.Name);
        EXPECT_FALSE(Commands.SaveAs());
        EXPECT_EQ(Window.Boxes.back().Text, GetLangString(c.Text));
        EXPECT_EQ(Window.Boxes.back().Caption, GetLangString(c.Caption));
        EXPECT_FALSE(std::filesystem::exists(Path(c.Name)));
        EXPECT_EQ(CurrentFile.FileName, Path("second.pnc"));
    }

    Drawing.DeleteAllObjects();
    EXPECT_FALSE(Commands.SaveAs());
    EXPECT_EQ(Window.Boxes.back().Text, GetLangString(405));
}

TEST_F(TCommandsFixture, AStalePictureIsNeverTraced)
{
    EXPECT_FALSE(Commands.CheckVectorize());
    EXPECT_EQ(Window.Boxes.back().Text, GetLangString(407));

    ASSERT_TRUE(Commands.OpenGeo(Write("p.bmp", EncodeBmp(THalfPicture{}, TBmpEncoding{})), false));
    EXPECT_TRUE(Commands.CheckVectorize());
    // The image deleted: the kind still says picture, but there is nothing to trace.
    ASSERT_TRUE(Drawing.DeleteObject(CurrentBitmap->ID));
    EXPECT_EQ(CurrentFile.Kind, fkBmp);
    EXPECT_FALSE(Commands.CheckVectorize());

    ASSERT_TRUE(Commands.OpenGeo(Path("p.bmp"), false));
    ASSERT_TRUE(Commands.CancellatoTutto());
    EXPECT_EQ(Commands.SourceBitmap(), nullptr);
    EXPECT_FALSE(Commands.CheckVectorize());
}

TEST(RecentFiles, TenNewestFirstEachOnceAndThroughTheIniFile)
{
    TRecentFiles recent;
    for (int i = 0; i < 12; ++i)
        recent.Add("f" + std::to_string(i));
    recent.Add("f5");
    ASSERT_EQ(recent.Items().size(), 10u);
    EXPECT_EQ(recent.Items()[0], "f5");
    EXPECT_EQ(recent.Items()[1], "f11");
    EXPECT_EQ(recent.Items()[9], "f2");

    TMemIniFile ini;
    ini.WriteString("Other", "Key", "kept");
    recent.Save(ini);
    TMemIniFile again;
    again.Parse(ini.ToString());
    TRecentFiles read;
    read.Load(again);
    EXPECT_EQ(read.Items(), recent.Items());
    EXPECT_EQ(again.ReadString("Other", "Key", ""), "kept");
}

TEST(LayersIni, NamesOnlyGiveDefaultColourAndWidth)
{
    TTempFolder folder;
    const std::string name = folder.Path() + "/Layers.ini";
    {
        std::ofstream f(name);
        f << "[LayersName]\n0=Walls\n7=Doors\n[LayersCol]\n7=255\n";
    }
    TQV_01Cmp2D drawing;
    drawing.Layers.GetLayer(3).Pen.SetWidth(5);
    CaricaImpLayers(drawing, name, 0x00FF00);
    EXPECT_EQ(drawing.Layers.GetLayer(0).Name, "Walls");
    EXPECT_EQ(drawing.Layers.GetLayer(0).Pen.Color(), 0x00FF00);
    EXPECT_EQ(drawing.Layers.GetLayer(7).Name, "Doors");
    EXPECT_EQ(drawing.Layers.GetLayer(7).Pen.Color(), 255);
    EXPECT_EQ(drawing.Layers.GetLayer(3).Name, "Layer_3");
    EXPECT_EQ(drawing.Layers.GetLayer(3).Pen.Width(), 1);
    for (int i = 0; i < TQV_20Layers::Count; ++i)
        EXPECT_FALSE(drawing.Layers.GetLayer(uint8_t(i)).Modified);
}
