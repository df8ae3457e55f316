// The transform tasks and the two-point distance driven by the view's events: the clicks, the
// typed values, the objects that result and their undo records.
#include "EditingFixture.h"
#include "FakeToolWindow.h"

#include "QVCurves.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVStream.h"
#include "QVTasks.h"
#include "QVTransformTasks.h"
#include "QVVectText.h"

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct TTransforms : TEditingUndoFixture {
    TFakeToolWindow Page;

    void TearDown() override
    {
        CopyObjects = true;
        UniformScale = true;
        TEditingUndoFixture::TearDown();
    }
    // Control point I of O where the drawing shows it.
    static TPoint2D World(TObject2D& O, int I)
    {
        return O.GetModelTransform().TransformPoint2D(static_cast<TPrimitive2D&>(O).Points().Get(I));
    }
};

void ExpectNear(const TPoint2D& P, double X, double Y)
{
    EXPECT_NEAR(P.X, X, 1e-4);
    EXPECT_NEAR(P.Y, Y, 1e-4);
}

TEST_F(TTransforms, TranslateCopiesRepeatObjectByObject)
{
    TObject2D* a =
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}));
    TObject2D* b = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{0, 20, 1}));
    Page.Texts["txtTransRepeat"] = "3";
    RunOn(StateClass<TQV_81TraslaSelectedObjects>(), {a, b});
    EXPECT_EQ(Page.Shown, std::vector<std::string>{"tabTranslate"});
    ASSERT_NE(TransformTask, nullptr);
    EXPECT_EQ(TransformTask->RepeatCount, 3);
    Click(0, 0);
    Move(10, 5);
    Click(10, 5);
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_EQ(TransformTask, nullptr);
    const std::vector<TObject2D*> all = All();
    ASSERT_EQ(all.size(), 8u);
    // The sources stay; copy j of each lies j steps on.
    ExpectNear(World(*all[0], 0), 0, 0);
    for (int j = 1; j <= 3; ++j) {
        ExpectNear(World(*all[size_t(1 + j)], 0), 10 * j, 5 * j);
        ExpectNear(World(*all[size_t(4 + j)], 0), 10 * j, 20 + 5 * j);
    }
    EXPECT_EQ(Undo.RecordCount(), 1);
    Undo.Undo();
    EXPECT_EQ(All().size(), 2u);
}

TEST_F(TTransforms, EachModeAndClass)
{
    struct TCase {
        const char* Name;
        std::function<TObject2D*(TQV_01Cmp2D&)> Make;
        TCADStateClass Starter;
        bool Copy, Uniform;
        TPoint2D Base, Second;
        const char* ResultClass;               // of the object that results
        std::function<void(TObject2D&)> Check; // on it
    };
    const auto line = [](TQV_01Cmp2D& D) -> TObject2D* {
        return D.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{40, 0, 1}, TPoint2D{45, 5, 1}));
    };
    const auto frame = [](TQV_01Cmp2D& D) -> TObject2D* {
        return D.AddObject(-1, std::make_unique<TFrame2D>(-1, TPoint2D{10, 10, 1}, TPoint2D{20, 15, 1}));
    };
    const auto circle = [](TQV_01Cmp2D& D) -> TObject2D* {
        return D.AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{10, 0, 1}, TPoint2D{15, 0, 1}));
    };
    const auto arc = [](TQV_01Cmp2D& D) -> TObject2D* {
        return D.AddObject(-1, std::make_unique<TArco2D>(-1, TPoint2D{40, 0, 1}, TPoint2D{45, 0, 1}, 0,
                                                         std::numbers::pi / 2));
    };
    const std::vector<TCase> cases = {
        {"a rectangle moved in place stays a rectangle",
         frame,
         StateClass<TQV_81TraslaSelectedObjects>(),
         false,
         true,
         {0, 0, 1},
         {5, -5, 1},
         "TFrame2D",
         [](TObject2D& O) { ExpectNear(World(O, 0), 15, 5); }},
        {"a rectangle turned in copy becomes a closed polyline",
         frame,
         StateClass<TQV_82RuotaSelectedObjects>(),
         true,
         true,
         {10, 10, 1},
         {10, 20, 1},
         "TPolyline2D",
         [](TObject2D& O) {
             auto& p = static_cast<TPolyline2D&>(O);
             ASSERT_EQ(p.Points().Count(), 5);
             ExpectNear(World(O, 0), 10, 10);
             ExpectNear(World(O, 4), 10, 10);
             ExpectNear(World(O, 2), 5, 20);
         }},
        {"a uniform scale by a point 20 units away doubles",
         line,
         StateClass<TQV_84ScalaSelectedObjects>(),
         false,
         true,
         {40, 0, 1},
         {60, 0, 1},
         "TLine2D",
         [](TObject2D& O) { ExpectNear(World(O, 1), 50, 10); }},
        {"a non-uniform scale replaces a circle by a polyline",
         circle,
         StateClass<TQV_84ScalaSelectedObjects>(),
         // 35 and 71 pixels from the base point: factors 1 and 2.
         false,
         false,
         {10, 0, 1},
         {10 + 3.5355339059327376, 2 * 3.5355339059327376, 1},
         "TPolyline2D",
         [](TObject2D& O) {
             const TRect2D b = O.Box;
             EXPECT_NEAR(b.Second.X - b.First.X, 10, 0.2);
             EXPECT_NEAR(b.Second.Y - b.First.Y, 20, 0.2);
         }},
        {"a mirror in the vertical line through the base point",
         line,
         StateClass<TQV_83SpecchiaSelectedObjects>(),
         false,
         true,
         {50, 0, 1},
         {50, 10, 1},
         "TLine2D",
         [](TObject2D& O) {
             ExpectNear(World(O, 0), 60, 0);
             ExpectNear(World(O, 1), 55, 5);
         }},
        {"a mirrored arc runs the other way round",
         arc,
         StateClass<TQV_83SpecchiaSelectedObjects>(),
         false,
         true,
         {0, 0, 1},
         {0, 10, 1},
         "TArco2D",
         [](TObject2D& O) {
             TArcInfo2D info;
             static_cast<TArco2D&>(O).GetArcInfo2D(info);
             EXPECT_NEAR(info.Center.X, -40, 1e-6);
             EXPECT_NEAR(info.Radius, 5, 1e-6);
             // The quarter from (45, 0) to (40, 5) becomes the one from (-40, 5) to (-45, 0).
             const auto at = [](const auto& P, double X, double Y) {
                 return std::abs(P.X - X) < 1e-6 && std::abs(P.Y - Y) < 1e-6;
             };
             EXPECT_TRUE(at(info.StartPt, -40, 5) && at(info.EndPt, -45, 0));
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        Undo.Clear();
        TObject2D* o = c.Make(Drawing);
        const int32_t id = o->ID;
        Page.Texts.clear();
        const std::vector<uint8_t> before = Bytes();
        CopyObjects = c.Copy;
        UniformScale = c.Uniform;
        RunOn(c.Starter, {o});
        Click(c.Base.X, c.Base.Y);
        Move(c.Second.X, c.Second.Y);
        Click(c.Second.X, c.Second.Y);
        EXPECT_FALSE(Prog.OperationRunning);
        EXPECT_EQ(Undo.RecordCount(), 1);
        TObject2D* result = nullptr;
        for (TObject2D* r : All())
            if (c.Copy ? r->ID != id : true)
                result = r;
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->ClassName(), c.ResultClass);
        c.Check(*result);
        Undo.Undo();
        EXPECT_EQ(Bytes(), before);
    }
}

TEST_F(TTransforms, ACancelledPreviewLeavesEverythingAsItWas)
{
    TObject2D* a =
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}));
    const std::vector<uint8_t> before = Bytes();
    for (const TCADStateClass starter :
         {StateClass<TQV_81TraslaSelectedObjects>(), StateClass<TQV_82RuotaSelectedObjects>(),
          StateClass<TQV_84ScalaSelectedObjects>(), StateClass<TQV_83SpecchiaSelectedObjects>()}) {
        RunOn(starter, {a});
        Click(0, 0);
        Move(30, 20);
        EXPECT_NE(a->ModelTransform(), nullptr);
        Prog.SendUserEvent(ueCancel);
        EXPECT_FALSE(Prog.OperationRunning);
        EXPECT_EQ(a->ModelTransform(), nullptr);
        EXPECT_EQ(Bytes(), before);
    }
    // A stop takes the preview back as well.
    RunOn(StateClass<TQV_81TraslaSelectedObjects>(), {a});
    Click(0, 0);
    Move(30, 20);
    Prog.StopOperation();
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Undo.RecordCount(), 0);
    EXPECT_TRUE(View.OverlayObjects.empty());
}

TEST_F(TTransforms, TypedValuesDriveThePreviewAndDoneAppliesThem)
{
    TObject2D* a =
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}));
    struct TCase {
        const char* Name;
        TCADStateClass Starter;
        std::map<std::string, std::string> Texts;
        uint16_t Event;
        TPoint2D End1; // where the line's second end goes
    };
    const std::vector<TCase> cases = {
        {"an offset",
         StateClass<TQV_81TraslaSelectedObjects>(),
         {{"txtTransDx", "5"}, {"txtTransDy", "-2"}},
         ueTranslateChanged,
         {15, -2, 1}},
        {"an offset that is no number moves nothing",
         StateClass<TQV_81TraslaSelectedObjects>(),
         {{"txtTransDx", "-"}, {"txtTransDy", "3"}},
         ueTranslateChanged,
         {10, 0, 1}},
        {"an angle in degrees",
         StateClass<TQV_82RuotaSelectedObjects>(),
         {{"txtRotateAngle", "90"}},
         ueRotateChanged,
         {0, 10, 1}},
        {"typed factors are the factors",
         StateClass<TQV_84ScalaSelectedObjects>(),
         {{"txtScaleX", "3"}},
         ueScaleChanged,
         {30, 0, 1}},
        {"a factor of 0 would flatten: ignored",
         StateClass<TQV_84ScalaSelectedObjects>(),
         {{"txtScaleX", "0"}},
         ueScaleChanged,
         {10, 0, 1}},
        {"a mirror about the world's Y axis",
         StateClass<TQV_83SpecchiaSelectedObjects>(),
         {},
         ueMirrorChanged,
         {-10, 0, 1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Undo.Clear();
        Page.Texts = c.Texts;
        Page.Indexes["gprMirrorAxis"] = 2;
        CopyObjects = false;
        RunOn(c.Starter, {a});
        Prog.SendUserEvent(c.Event);
        EXPECT_TRUE(Prog.OperationRunning);
        Prog.SendUserEvent(ueDone);
        EXPECT_FALSE(Prog.OperationRunning);
        ExpectNear(World(*a, 1), c.End1.X, c.End1.Y);
        // Back to (0, 0)-(10, 0) for the next case.
        if (Undo.RecordCount() > 0)
            Undo.Undo();
        a = All().front();
    }
}

TEST_F(TTransforms, ObjectsThatCannotBeCopiedStayWhole)
{
    // A text has no copy of its own class: a non-uniform scale or a copy leaves it as it is, and
    // the records name only what was made.
    TObject2D* text = Drawing.AddObject(-1, std::make_unique<TJustifiedVectText2D>(
                                                -1, nullptr, TPoint2D{0, 0, 1}, TPoint2D{10, 5, 1}, 1, "A"));
    TObject2D* line =
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}));
    const int32_t textID = text->ID;
    CopyObjects = false;
    UniformScale = false;
    RunOn(StateClass<TQV_84ScalaSelectedObjects>(), {text, line});
    Click(0, 0);
    Click(30, 30);
    EXPECT_EQ(Drawing.GetObject(textID), text);
    EXPECT_EQ(All().size(), 2u);
    EXPECT_EQ(Undo.RecordCount(), 1);
    Undo.Undo();
    EXPECT_EQ(All().size(), 2u);
    EXPECT_EQ(All().back()->ClassName(), "TLine2D");
}

TEST_F(TTransforms, RepeatCountsOutOfReachCountAsOneOrTheMost)
{
    TObject2D* a = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{0, 0, 1}));
    for (const auto& [text, count] : std::vector<std::pair<std::string, int32_t>>{
             {"", 1}, {"x", 1}, {"0", 1}, {"-4", 1}, {"7", 7}, {"99999999999", MaxRepeatCount}}) {
        SCOPED_TRACE(text);
        Page.Texts["txtRotateRepeat"] = text;
        RunOn(StateClass<TQV_82RuotaSelectedObjects>(), {a});
        ASSERT_NE(TransformTask, nullptr);
        EXPECT_EQ(TransformTask->RepeatCount, count);
        Prog.SendUserEvent(ueCancel);
    }
}

TEST_F(TTransforms, AnEmptySelectionEndsTheTransform)
{
    RunOn(StateClass<TQV_81TraslaSelectedObjects>(), {});
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_TRUE(Page.Shown.empty());
}

TEST_F(TTransforms, TheDistanceShowsLengthAndAngleAndStartsAgainEveryThirdClick)
{
    TInfoEdit panel(true);
    InfoEdit = &panel;
    LiveInfoPanel = &panel;
    panel.SetMode(TPanelMode::Distance);
    panel.SetReadOnly(true);
    Prog.StartOperation(StateClass<TQV_70Sel2Punti>(), std::make_unique<TQV_70Sel2PuntiParam>(nullptr));
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 14");
    Click(10, 10);
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 15");
    Move(13, 14);
    EXPECT_NE(View.RubberBandObject, nullptr);
    // The length 5 among the panel's values.
    bool length = false;
    for (const auto& row : panel.Layout().Cells)
        for (const std::string& cell : row)
            length = length || cell == "5" || cell.rfind("5.0", 0) == 0;
    EXPECT_TRUE(length);
    Click(13, 14);
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 14");
    EXPECT_EQ(View.RubberBandObject, nullptr);
    Click(20, 20);
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 15");
    Prog.SendUserEvent(ueDone);
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_EQ(View.RubberBandObject, nullptr);
    InfoEdit = nullptr;
    LiveInfoPanel = nullptr;
}

} // namespace
