// The editing tools on a drawing: what each leaves in the drawing for a table of picked pairs,
// that a tool which cannot do what was asked says why and changes nothing (no undo record), that
// one undo gives back the drawing's bytes, and a seeded run of every tool undone as a whole.
#include "EditingFixture.h"

#include "EditTools.h"
#include "FakeServices.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVRegistry.h"
#include "QVSys.h"
#include "QVTasks.h"
#include "SavedBytes.h"
#include "UndoRedo.h"

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

TPoint2D P(double X, double Y)
{
    return {X, Y, 1};
}

struct EditTools : TEditingFixture {
    TUndoRedo Log;
    TFakeMainWindow Main;
    TInstalledServices Installed{&Main};
    TInfoEdit Panel{true};

    void SetUp() override
    {
        TEditingFixture::SetUp();
        RegisterDrawingClasses();
        Log.AttachDrawing(&Drawing);
        UndoRedo = &Log;
        InfoEdit = &Panel;
        FilletRadius = 1;
    }
    void TearDown() override
    {
        InfoEdit = nullptr;
        UndoRedo = nullptr;
        Log.AttachDrawing(nullptr);
        QV_00ClearClassRegistry();
        TEditingFixture::TearDown();
    }

    TObject2D* Line(double X1, double Y1, double X2, double Y2)
    {
        return Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, P(X1, Y1), P(X2, Y2)));
    }
    TObject2D* Arc(double CX, double CY, double R, double FromDeg, double ToDeg)
    {
        const double d = std::numbers::pi / 180;
        return Drawing.AddObject(
            -1, std::make_unique<TArco2D>(-1, P(CX, CY), P(CX + R, CY), FromDeg * d, ToDeg * d));
    }
    TObject2D* Circle(double CX, double CY, double R)
    {
        return Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, P(CX, CY), P(CX + R, CY)));
    }
    TObject2D* Polyline(std::vector<TPoint2D> Points)
    {
        return Drawing.AddObject(-1, std::make_unique<TPolyline2D>(-1, Points));
    }

    // The tool run on the objects as the selection tasks hand them over, with the picks.
    void Run(TCADStateClass Tool, const std::vector<TObject2D*>& Objects, TPoint2D Pick1 = {},
             TPoint2D Pick2 = {})
    {
        auto param = std::make_unique<TQV_50SelectObjectsParam>(5, nullptr);
        for (TObject2D* obj : Objects)
            param->SelectedObjects.Add(*obj);
        PickPoints = {Pick1, Pick2};
        Prog.SetCursorPoint(Pick1);
        Prog.StartOperation(Tool, std::move(param));
    }

    std::vector<uint8_t> Bytes() { return Saved(Drawing); }
    // The classes of the drawing's objects, in order.
    std::string Classes()
    {
        std::string s;
        auto it = Drawing.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            s += std::string(obj->ClassName()) + " ";
        return s;
    }
};

// ---- a table of picked pairs per tool ----

struct TToolCase {
    const char* Name;
    TCADStateClass Tool;
    // Fills the drawing and answers the picked objects; sets the picks.
    std::function<std::vector<TObject2D*>(EditTools&, TPoint2D&, TPoint2D&)> Make;
    // The classes after the tool, or empty when it must change nothing and say why.
    const char* After;
};

TEST_F(EditTools, EachToolOnItsPairsAndOneUndo)
{
    using V = std::vector<TObject2D*>;
    const TToolCase cases[] = {
        {"fillet crossing lines", StateClass<TQV2D_Fillet>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(2, 0), B = P(5, 3);
             return V{T.Line(0, 0, 10, 0), T.Line(5, -5, 5, 5)};
         },
         "TLine2D TLine2D TArco2D "},
        {"fillet line and arc", StateClass<TQV2D_Fillet>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(1, 0), B = P(3.5, 1.6);
             return V{T.Line(0, 0, 10, 0), T.Arc(5, 3, 2, 180, 270)};
         },
         "TLine2D TArco2D TArco2D "},
        {"fillet arc and circle", StateClass<TQV2D_Fillet>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(0, 1), B = P(3, 1);
             return V{T.Arc(0, 0, 1, 0, 180), T.Circle(3, 0, 1)};
         },
         "TArco2D TCerchio2D TArco2D "},
        {"fillet parallel lines", StateClass<TQV2D_Fillet>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(1, 0), B = P(1, 2);
             return V{T.Line(0, 0, 10, 0), T.Line(0, 2, 10, 2)};
         },
         ""},
        {"fillet pick on the other line", StateClass<TQV2D_Fillet>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(5, 0), B = P(5, 0);
             return V{T.Line(0, 0, 10, 0), T.Line(5, -5, 5, 5)};
         },
         ""},
        {"trim crossing lines", StateClass<TQV2D_Trim>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(2, 0), B = P(5, 3);
             return V{T.Line(0, 0, 10, 0), T.Line(5, -5, 5, 5)};
         },
         "TLine2D TLine2D "},
        {"trim arc and line", StateClass<TQV2D_Trim>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(3.6, 1.4), B = P(1, 0);
             return V{T.Arc(5, 0, 2, 90, 270), T.Line(0, 0, 10, 0)};
         },
         "TArco2D TLine2D "},
        {"trim line and circle", StateClass<TQV2D_Trim>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(1, 0), B = P(5, 1);
             return V{T.Line(0, 0, 2, 0), T.Circle(5, 0, 1)};
         },
         "TLine2D TCerchio2D "},
        {"trim arcs that do not meet", StateClass<TQV2D_Trim>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(0, 1), B = P(10, 1);
             return V{T.Arc(0, 0, 1, 0, 180), T.Arc(10, 0, 1, 0, 180)};
         },
         ""},
        {"break crossing lines", StateClass<TQV2D_Break>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) {
             return V{T.Line(0, 0, 10, 0), T.Line(5, -5, 5, 5)};
         },
         "TLine2D TLine2D TLine2D TLine2D "},
        {"break line and circle", StateClass<TQV2D_Break>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) {
             return V{T.Line(-5, 0, 5, 0), T.Circle(0, 0, 2)};
         },
         "TLine2D TLine2D TLine2D TArco2D TArco2D "},
        {"break polyline and arc", StateClass<TQV2D_Break>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) {
             return V{T.Polyline({P(-5, 1), P(0, 1), P(5, 1)}), T.Arc(0, 0, 2, 0, 180)};
         },
         "TPolyline2D TPolyline2D TPolyline2D TPolyline2D TPolyline2D TPolyline2D "},
        {"break lines sharing an end", StateClass<TQV2D_Break>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) {
             return V{T.Line(0, 0, 10, 0), T.Line(10, 0, 10, 5)};
         },
         ""},
        {"divide a line", StateClass<TQV2D_Divide>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) { return V{T.Line(0, 0, 10, 0)}; }, "TLine2D TLine2D "},
        {"divide a circle", StateClass<TQV2D_Divide>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) { return V{T.Circle(0, 0, 2)}; }, "TArco2D TArco2D "},
        {"join collinear lines", StateClass<TQV2D_Join>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) {
             return V{T.Line(0, 0, 2, 0), T.Line(5, 0, 8, 0)};
         },
         "TLine2D "},
        {"join arcs of one circle", StateClass<TQV2D_Join>(),
         [](EditTools& T, TPoint2D&, TPoint2D&) {
             return V{T.Arc(0, 0, 1, 90, 180), T.Arc(0, 0, 1, 0, 90)};
         },
         "TArco2D "},
        {"extend a line", StateClass<TQV2D_Extend>(),
         [](EditTools& T, TPoint2D& A, TPoint2D&) {
             A = P(9, 0);
             return V{T.Line(0, 0, 10, 0)};
         },
         "TLine2D "},
        {"extend an open polyline", StateClass<TQV2D_Extend>(),
         [](EditTools& T, TPoint2D& A, TPoint2D&) {
             A = P(0, 0);
             return V{T.Polyline({P(0, 0), P(5, 0), P(5, 5)})};
         },
         "TPolyline2D "},
        {"extend a circle", StateClass<TQV2D_Extend>(),
         [](EditTools& T, TPoint2D& A, TPoint2D&) {
             A = P(2, 0);
             return V{T.Circle(0, 0, 2)};
         },
         ""},
        {"tangent circle of two lines", StateClass<TMyArcoTan2>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(2, 0), B = P(5, 3);
             return V{T.Line(0, 0, 10, 0), T.Line(5, -5, 5, 5)};
         },
         "TLine2D TLine2D TArco2D "},
        {"tangent line of two circles", StateClass<TMyLineaTan2A>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(0, 1), B = P(4, 1);
             return V{T.Circle(0, 0, 1), T.Arc(4, 0, 1, 0, 180)};
         },
         "TCerchio2D TArco2D TLine2D "},
        {"tangent line of concentric circles", StateClass<TMyLineaTan2A>(),
         [](EditTools& T, TPoint2D& A, TPoint2D& B) {
             A = P(0, 1), B = P(0, 3);
             return V{T.Circle(0, 0, 1), T.Circle(0, 0, 3)};
         },
         ""},
        {"tangent line at an angle", StateClass<TMyLineaTanAngle>(),
         [](EditTools& T, TPoint2D& A, TPoint2D&) {
             A = P(0, 8);
             return V{T.Circle(0, 0, 5)};
         },
         "TCerchio2D TLine2D "},
    };
    for (const TToolCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        Log.Clear();
        Main.Boxes.clear();
        Panel.SetMode(TPanelMode::Extend);
        std::string two = "2";
        Panel.SetValue(0, two);
        if (c.Tool == StateClass<TMyLineaTanAngle>()) {
            Panel.SetMode(TPanelMode::LineTangentAngle);
            std::string length = "10", angle = "0";
            Panel.SetValue(0, length);
            Panel.SetValue(1, angle);
        }
        TPoint2D a, b;
        const std::vector<TObject2D*> objs = c.Make(*this, a, b);
        const std::vector<uint8_t> before = Bytes();
        Run(c.Tool, objs, a, b);
        EXPECT_FALSE(Prog.OperationRunning);
        if (std::string(c.After).empty()) {
            EXPECT_EQ(Bytes(), before);
            EXPECT_EQ(Log.RecordCount(), 0);
            EXPECT_EQ(Main.Boxes.size(), 1U);
            continue;
        }
        EXPECT_EQ(Classes(), c.After);
        EXPECT_NE(Bytes(), before);
        ASSERT_EQ(Log.RecordCount(), 1);
        Log.Undo();
        EXPECT_EQ(Bytes(), before);
    }
}

TEST_F(EditTools, FilletThroughTheTwoObjectSelectionRoundsThePickedCorner)
{
    TObject2D* l1 = Line(10, 0, 60, 0);
    TObject2D* l2 = Line(40, -20, 40, 20);
    FilletRadius = 5;
    Prog.StartOperation(StateClass<TQV_50Seleziona2Ogg>(),
                        std::make_unique<TQV_50SelectObjectsParam>(5, StateClass<TQV2D_Fillet>()));
    Click(20, 0);
    Click(40, 10);
    EXPECT_FALSE(Prog.OperationRunning);
    const auto* a = dynamic_cast<TLine2D*>(Drawing.GetObject(l1->ID));
    const auto* b = dynamic_cast<TLine2D*>(Drawing.GetObject(l2->ID));
    ASSERT_TRUE(a && b);
    EXPECT_NEAR(a->Points().Get(1).X, 35, 1e-9);
    EXPECT_NEAR(b->Points().Get(0).Y, 5, 1e-9);
    EXPECT_EQ(Classes(), "TLine2D TLine2D TArco2D ");
}

TEST_F(EditTools, WrongClassesGetTheMessageBoxAndChangeNothing)
{
    TObject2D* e = Drawing.AddObject(-1, std::make_unique<TEllipse2D>(-1, P(0, 0), P(4, 2)));
    TObject2D* l = Line(0, 0, 10, 0);
    const std::vector<uint8_t> before = Bytes();
    for (TCADStateClass tool :
         {StateClass<TQV2D_Fillet>(), StateClass<TQV2D_Trim>(), StateClass<TQV2D_Join>()}) {
        Main.Boxes.clear();
        Run(tool, {e, l});
        EXPECT_EQ(Main.Boxes.size(), 1U);
    }
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Log.RecordCount(), 0);
}

TEST_F(EditTools, PerpendicularAndTouchingCircleFromAPickedPoint)
{
    TObject2D* l = Line(0, 0, 20, 0);
    for (TCADStateClass tool : {StateClass<TLineaPerpend>(), StateClass<TMyArcoTan1>()}) {
        Prog.StartOperation(StateClass<TQV_50Seleziona1Ogg>(),
                            std::make_unique<TQV_50SelectObjectsParam>(5, tool));
        Click(10, 0);
        ASSERT_TRUE(Prog.OperationRunning);
        Click(30, 4);
        EXPECT_FALSE(Prog.OperationRunning);
    }
    EXPECT_EQ(Classes(), "TLine2D TLine2D TArco2D ");
    EXPECT_EQ(Log.RecordCount(), 2);
    Log.Undo();
    Log.Undo();
    EXPECT_EQ(Classes(), "TLine2D ");
    (void)l;
}

// Every tool at random on a drawing of lines, arcs and circles; all undone, the drawing's bytes
// are those of the start.
TEST_F(EditTools, SeededRunOfEveryToolUndoneAsAWhole)
{
    std::mt19937 rng(31);
    const auto u = [&rng](double Lo, double Hi) {
        return std::uniform_real_distribution<double>(Lo, Hi)(rng);
    };
    for (int i = 0; i < 12; ++i) {
        Line(u(0, 90), u(-25, 25), u(0, 90), u(-25, 25));
        Arc(u(10, 90), u(-20, 20), u(2, 15), u(0, 360), u(0, 360));
        if (i % 3 == 0)
            Circle(u(10, 90), u(-20, 20), u(2, 15));
    }
    const std::vector<uint8_t> start = Bytes();
    const TCADStateClass tools[] = {StateClass<TQV2D_Fillet>(), StateClass<TQV2D_Trim>(),
                                    StateClass<TQV2D_Break>(),  StateClass<TQV2D_Divide>(),
                                    StateClass<TQV2D_Join>(),   StateClass<TQV2D_Extend>(),
                                    StateClass<TMyArcoTan2>(),  StateClass<TMyLineaTan2A>()};
    Panel.SetMode(TPanelMode::Extend);
    std::string length = "1.5";
    Panel.SetValue(0, length);
    int records = 0;
    for (int step = 0; step < 300; ++step) {
        std::vector<TObject2D*> all;
        {
            auto it = Drawing.ObjectsIterator();
            for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
                all.push_back(dynamic_cast<TObject2D*>(obj));
        }
        const auto pick = [&]() {
            return all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)];
        };
        TObject2D* a = pick();
        TObject2D* b = pick();
        if (a == b)
            continue;
        FilletRadius = u(0.5, 4);
        Run(tools[std::uniform_int_distribution<size_t>(0, std::size(tools) - 1)(rng)], {a, b},
            P(u(0, 90), u(-25, 25)), P(u(0, 90), u(-25, 25)));
        ASSERT_FALSE(Prog.OperationRunning);
        records = Log.RecordCount();
    }
    EXPECT_GT(records, 50);
    while (Log.RecordCount() > 0)
        Log.Undo();
    EXPECT_EQ(Bytes(), start);
}

} // namespace
