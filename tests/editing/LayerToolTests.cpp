// Move and copy to a layer, explode, control-point editing, and a seeded run of every edit of
// the drawing tools taken back by undo.
#include "EditingFixture.h"
#include "FakeToolWindow.h"

#include "Bitmap32.h"
#include "QVBitmap2D.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVDeleteTools.h"
#include "QVDrawTasks.h"
#include "QVEditPrimitive.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVLayerTools.h"
#include "QVStream.h"
#include "QVTasks.h"
#include "QVTransformTasks.h"
#include "QVVectText.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

struct TLayerTools : TEditingUndoFixture {
    TFakeToolWindow Page;

    void SetUp() override
    {
        TEditingUndoFixture::SetUp();
        // The reports' texts as the user reads them.
        LanguageIni = OpenLanguageFile("languages/english");
    }
    void TearDown() override
    {
        LanguageIni.reset();
        CopyObjects = true;
        UniformScale = true;
        TEditingUndoFixture::TearDown();
    }
    TObject2D* Line(double X1, double Y1, double X2, double Y2, uint8_t Layer = 0)
    {
        return Drawing.AddObjectToLayer(
            -1, Layer, std::make_unique<TLine2D>(-1, TPoint2D{X1, Y1, 1}, TPoint2D{X2, Y2, 1}));
    }
};

TPoint2D World(TObject2D& O, int I)
{
    return O.GetModelTransform().TransformPoint2D(static_cast<TPrimitive2D&>(O).Points().Get(I));
}

TEST_F(TLayerTools, MoveToLayerKeepsTheOldLayersForTheUndo)
{
    TObject2D* a = Line(0, 0, 1, 0, 1);
    TObject2D* b = Line(0, 1, 1, 1, 2);
    TObject2D* c = Line(0, 2, 1, 2, 3);
    Page.Indexes["cboLayerTo"] = 5;
    RunOn(StateClass<TQV2d_MuoveInLayer>(), {a, b, c});
    EXPECT_EQ(a->Layer, 5);
    EXPECT_EQ(c->Layer, 5);
    EXPECT_EQ(Page.Texts["lblMCLayer"], "3 objects moved to layer 5.");
    EXPECT_EQ(Undo.RecordCount(), 1);
    Undo.Undo();
    const std::vector<TObject2D*> all = All();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0]->Layer, 1);
    EXPECT_EQ(all[1]->Layer, 2);
    EXPECT_EQ(all[2]->Layer, 3);
}

TEST_F(TLayerTools, CopyToLayerNamesOnlyTheCopies)
{
    TObject2D* a = Line(0, 0, 1, 0);
    Page.Indexes["cboLayerTo"] = 0;
    RunOn(StateClass<TQV2d_CopiaInLayer>(), {a});
    ASSERT_EQ(All().size(), 2u);
    EXPECT_EQ(All()[1]->Layer, 0);
    EXPECT_EQ(Page.Texts["lblMCLayer"], "1 objects copied to layer 0.");
    Undo.Undo();
    ASSERT_EQ(All().size(), 1u);
    EXPECT_EQ(All()[0], a);
}

TEST_F(TLayerTools, ExplodeMakesLinesOfRectanglesAndPolylines)
{
    struct TCase {
        const char* Name;
        std::function<TObject2D*()> Make;
        size_t Lines;
        std::string Report;
    };
    const std::vector<TCase> cases = {
        {"a rectangle turned by 30 degrees: four lines on its outline",
         [&] {
             auto f = std::make_unique<TFrame2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 5, 1});
             f->SetModelTransform(TMatrix4::CreateRotation(true, 30));
             f->ApplyTransform();
             return Drawing.AddObject(-1, std::move(f));
         },
         4, "1 objects exploded into 4 lines"},
        {"a polyline of five points: four lines",
         [&] {
             const TPoint2D pts[] = {{0, 0, 1}, {1, 0, 1}, {2, 1, 1}, {3, 0, 1}, {4, 0, 1}};
             return Drawing.AddObject(-1, std::make_unique<TPolyline2D>(-1, pts));
         },
         4, "1 objects exploded into 4 lines"},
        {"an image: nothing",
         [&] {
             const TMemoryBitmap32 picture(2, 2);
             return Drawing.AddObject(
                 -1, std::make_unique<TBitmap2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 1, 1}, picture));
         },
         0, "Nothing was exploded."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        Undo.Clear();
        Page.Shown.clear();
        TObject2D* o = c.Make();
        const std::vector<uint8_t> before = Bytes();
        std::vector<TPoint2D> outline;
        if (auto* f = dynamic_cast<TFrame2D*>(o)) {
            const TPoint2D a = f->Points().Get(0), b = f->Points().Get(1);
            for (const TPoint2D& p : {a, TPoint2D{a.X, b.Y, 1}, b, TPoint2D{b.X, a.Y, 1}})
                outline.push_back(f->GetModelTransform().TransformPoint2D(p));
        }
        RunOn(StateClass<TQV2D_Esplode>(), {o});
        EXPECT_EQ(Page.Shown, std::vector<std::string>{"tabExplode"});
        EXPECT_EQ(Page.Texts["stxInfoEsplode"], c.Report);
        if (c.Lines == 0) {
            EXPECT_EQ(All().size(), 1u);
            continue;
        }
        const std::vector<TObject2D*> all = All();
        ASSERT_EQ(all.size(), c.Lines);
        for (size_t i = 0; i < outline.size(); ++i) {
            const TPoint2D p = World(*all[i], 0), q = outline[i];
            EXPECT_NEAR(p.X, q.X, 1e-9);
            EXPECT_NEAR(p.Y, q.Y, 1e-9);
        }
        Undo.Undo();
        EXPECT_EQ(Bytes(), before);
    }
}

TEST_F(TLayerTools, ABlockExplodesIntoItsChildrenAndOneThatCannotStaysWhole)
{
    const auto define = [&](const char* Name, bool WithText) {
        std::vector<std::unique_ptr<TGraphicObject>> children;
        children.push_back(std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}));
        children.push_back(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 0, 1}));
        if (WithText)
            children.push_back(std::make_unique<TJustifiedVectText2D>(-1, nullptr, TPoint2D{0, 0, 1},
                                                                      TPoint2D{1, 1, 1}, 1, "A"));
        TBlockName name{};
        std::copy_n(Name, std::strlen(Name), name.begin());
        return Drawing.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, name, std::move(children)));
    };
    TSourceBlock2D* plain = define("PLAIN", false);
    TSourceBlock2D* texted = define("TEXTED", true);
    auto placed = std::make_unique<TBlock2D>(-1, plain);
    placed->SetModelTransform(TMatrix4::CreateTranslation(10, 20, 0));
    placed->ApplyTransform();
    TObject2D* a = Drawing.AddObject(-1, std::move(placed));
    TObject2D* b = Drawing.AddObject(-1, std::make_unique<TBlock2D>(-1, texted));
    const int32_t bID = b->ID;
    RunOn(StateClass<TQV2D_Esplode>(), {a, b});
    // The circle and the line of the plain block, where it placed them; the other block stays.
    const std::vector<TObject2D*> all = All();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0]->ID, bID);
    EXPECT_EQ(all[1]->ClassName(), "TCerchio2D");
    const TPoint2D centre = World(*all[1], 0);
    EXPECT_NEAR(centre.X, 10, 1e-9);
    EXPECT_NEAR(centre.Y, 20, 1e-9);
    EXPECT_EQ(Page.Texts["stxInfoEsplode"], "2 objects exploded into 1 lines 1 arcs");
    EXPECT_EQ(Undo.RecordCount(), 1);
    Undo.Undo();
    EXPECT_EQ(All().size(), 2u);
}

TEST_F(TLayerTools, DraggingAControlPointAndDone)
{
    TObject2D* line = Line(10, 0, 20, 0);
    const std::vector<uint8_t> before = Bytes();
    const auto edit = [&] {
        auto param = std::make_unique<TQV_50SelectObjectsParam>(5, StateClass<TQV_60EditSelectedPrimitive>());
        Prog.StartOperation(StateClass<TQV_50Seleziona1Ogg>(), std::move(param));
        Click(15, 0);
        ASSERT_TRUE(Prog.OperationRunning);
        EXPECT_EQ(Prog.CurrentState()->Description, "prompt 11");
    };
    // A press away from the control points holds none: moves change nothing.
    edit();
    Move(30, 30);
    Down(30, 30);
    Move(40, 40);
    Up(40, 40);
    Prog.SendUserEvent(ueCancel);
    EXPECT_EQ(Bytes(), before);
    // The end point dragged, then Cancel: nothing changes.
    edit();
    Move(20, 0);
    Down(20, 0);
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 12");
    Move(25, 5);
    Up(25, 5);
    Prog.SendUserEvent(ueCancel);
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Undo.RecordCount(), 0);
    // The same and Done: the end point moves, one record takes it back.
    edit();
    Move(20, 0);
    Down(20, 0);
    Move(25, 5);
    Up(25, 5);
    Prog.SendUserEvent(ueDone);
    EXPECT_FALSE(Prog.OperationRunning);
    const TPoint2D end = World(*line, 1);
    EXPECT_NEAR(end.X, 25, 1e-4);
    EXPECT_NEAR(end.Y, 5, 1e-4);
    EXPECT_TRUE(View.OverlayObjects.empty());
    EXPECT_EQ(Undo.RecordCount(), 1);
    Undo.Undo();
    EXPECT_EQ(Bytes(), before);
}

TEST_F(TLayerTools, ASeededRunOfEveryEditIsTakenBackByUndo)
{
    TInfoEdit panel(true);
    InfoEdit = &panel;
    for (int i = 0; i < 12; ++i)
        Line(i * 7 % 90, i * 13 % 40, i * 11 % 90 + 1, i * 5 % 40, uint8_t(i % 3));
    const TPoint2D zig[] = {{0, 0, 1}, {1, 0.05, 1}, {2, 0, 1}, {3, 0.05, 1}, {4, 0, 1}};
    Drawing.AddObject(-1, std::make_unique<TPolyline2D>(-1, zig));
    Drawing.AddObject(-1, std::make_unique<TFrame2D>(-1, TPoint2D{50, 10, 1}, TPoint2D{60, 20, 1}));
    Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{70, -10, 1}, TPoint2D{74, -10, 1}));
    const std::vector<uint8_t> start = Bytes();
    std::mt19937 rng(2026);
    const auto pick = [&] {
        const std::vector<TObject2D*> all = All();
        std::vector<TObject2D*> some;
        for (TObject2D* o : all)
            if (rng() % 3 == 0)
                some.push_back(o);
        if (some.empty() && !all.empty())
            some.push_back(all[rng() % all.size()]);
        return some;
    };
    const TCADStateClass transforms[] = {
        StateClass<TQV_81TraslaSelectedObjects>(), StateClass<TQV_82RuotaSelectedObjects>(),
        StateClass<TQV_84ScalaSelectedObjects>(), StateClass<TQV_83SpecchiaSelectedObjects>()};
    int edits = 0;
    for (int step = 0; step < 60; ++step) {
        const int records = Undo.RecordCount();
        switch (rng() % 8) {
        case 0: // a line drawn
            Prog.StartOperation(
                StateClass<TQV_40DrawSizedPrimitive>(),
                std::make_unique<TQV_40DrawSizedPrimitiveParam>(
                    nullptr, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{0, 0, 1}), 0, true));
            Click(double(rng() % 90), double(rng() % 30));
            Click(double(rng() % 90), -double(rng() % 30));
            break;
        case 1:
            RunOn(StateClass<TMyCancella>(), pick());
            break;
        case 2: {
            std::string tol = "0.1";
            panel.SetMode(TPanelMode::Simplify);
            panel.SetValue(0, tol);
            RunOn(StateClass<TMyRiducePoly>(), pick());
            break;
        }
        case 3:
            Page.Indexes["cboLayerTo"] = int32_t(rng() % 4);
            RunOn(StateClass<TQV2d_MuoveInLayer>(), pick());
            break;
        case 4:
            Page.Indexes["cboLayerTo"] = int32_t(rng() % 4);
            RunOn(StateClass<TQV2d_CopiaInLayer>(), pick());
            break;
        case 5:
            RunOn(StateClass<TQV2D_Esplode>(), pick());
            break;
        default: {
            CopyObjects = rng() % 2 == 0;
            UniformScale = rng() % 2 == 0;
            Page.Texts["txtTransRepeat"] = Page.Texts["txtRotateRepeat"] = Page.Texts["txtScaleRepeat"] =
                std::to_string(1 + rng() % 3);
            const std::vector<TObject2D*> some = pick();
            RunOn(transforms[rng() % 4], some);
            Click(double(rng() % 50), double(rng() % 20));
            Click(double(rng() % 50) + 1, double(rng() % 20) + 1);
            break;
        }
        }
        EXPECT_FALSE(Prog.OperationRunning);
        edits += Undo.RecordCount() - records;
    }
    EXPECT_GT(edits, 30);
    while (Undo.RecordCount() > 0)
        Undo.Undo();
    EXPECT_EQ(Bytes(), start);
    InfoEdit = nullptr;
}

} // namespace
