#include "CADExceptions.h"
#include "ExpectError.h"
#include "FakeView.h"
#include "QVCmpOps.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVSplines.h"
#include "QVSurf3D.h"
#include "QVVectText.h"
#include "RecordingTree.h"
#include "StlFixtures.h"
#include "TestMark.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

using DrawingOpsTest = DrawingClasses;

constexpr double Pi = std::numbers::pi;
constexpr double Tol = 1e-9;

const std::string ListBusy = "TGraphicObjList.GetExclusiveIterator: The list has active iterators.";

TPoint2D Pt(double x, double y)
{
    return MakePoint2D(x, y);
}

TMatrix4 Rotation(double degrees)
{
    return TMatrix4::CreateRotation(true, degrees);
}

TMatrix4 Product(const TMatrix4& first, const TMatrix4& then)
{
    TMatrix4 m;
    m.Multiply(first, then);
    return m;
}

// The mirror in the line y = x: both diagonal elements are 0, only the determinant tells.
TMatrix4 SwapXY()
{
    TMatrix4 m;
    m.M[0] = 0;
    m.M[1] = 1;
    m.M[4] = 1;
    m.M[5] = 0;
    return m;
}

void ExpectNear(const TPoint2D& a, const TPoint2D& b, double tol = Tol)
{
    EXPECT_NEAR(a.X, b.X, tol);
    EXPECT_NEAR(a.Y, b.Y, tol);
}

TPoint2D World(const TObject2D& obj, const TPoint2D& p)
{
    return CartesianPoint2D(obj.GetModelTransform().TransformPoint2D(p));
}

// The drawn shape in world coordinates: a curve's profile, else the control points.
std::vector<TPoint2D> WorldShape(TPrimitive2D& obj)
{
    std::vector<TPoint2D> out;
    if (auto* curve = dynamic_cast<TCurve2D*>(&obj)) {
        TProfileUse use(*curve);
        for (const TPoint2D& p : curve->GetProfilePoints()->Points())
            out.push_back(World(obj, p));
        return out;
    }
    for (const TPoint2D& p : obj.Points().Points())
        out.push_back(World(obj, p));
    return out;
}

void ExpectSameShape(TPrimitive2D& copy, TPrimitive2D& source)
{
    // A circle's profile starts on the +X side of its centre whatever its placement, so circles
    // compare by centre and radius.
    if (dynamic_cast<TCerchio2D*>(&source)) {
        const TPoint2D c1 = World(copy, copy.Points().Get(0)), c2 = World(source, source.Points().Get(0));
        ExpectNear(c1, c2);
        EXPECT_NEAR(Distance2D(c1, World(copy, copy.Points().Get(1))),
                    Distance2D(c2, World(source, source.Points().Get(1))), Tol);
        return;
    }
    const std::vector<TPoint2D> a = WorldShape(copy), b = WorldShape(source);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        ExpectNear(a[i], b[i]);
}

TPoint2D MarkPosition(TQV_01Cmp2D& d, int32_t id)
{
    return dynamic_cast<TTestMark&>(*d.GetObject(id)).World();
}

} // namespace

// ---- transforming objects by ID ----

TEST_F(DrawingOpsTest, TransformObjectsByIdList)
{
    struct TCase {
        const char* Name;
        std::vector<int32_t> IDs;
        std::vector<bool> Moved; // for objects 0 to 3
    };
    const std::vector<TCase> cases = {
        {"all objects", {-1}, {true, true, true, true}},
        {"a listed object, an unknown ID skipped", {3, 99}, {false, false, false, true}},
        {"listed in any order", {2, 0}, {true, false, true, false}},
        // Reading the first ID of an empty list used to run past its end.
        {"no IDs", {}, {false, false, false, false}},
    };
    for (const TCase& c : cases) {
        for (bool repaint : {true, false}) {
            SCOPED_TRACE(std::string(c.Name) + (repaint ? ", repainting" : ", not repainting"));
            TQV_01Cmp2D d;
            TFakeDrawingView view;
            d.AddView(&view);
            d.RepaintAfterTransform = repaint;
            for (int i = 0; i < 4; ++i)
                d.AddObject(-1, Mark(i, 0));
            d.TransformObjects(c.IDs, TMatrix4::CreateTranslation(0, 10, 0));
            for (int32_t id = 0; id < 4; ++id) {
                ExpectNear(MarkPosition(d, id), Pt(id, c.Moved[static_cast<size_t>(id)] ? 10 : 0));
                EXPECT_EQ(d.GetObject(id)->ModelTransform(), nullptr);
            }
            EXPECT_EQ(view.Calls.size(), repaint && !c.IDs.empty() ? 1u : 0u);
        }
    }
}

TEST_F(DrawingOpsTest, WalkedObjectsAreNeitherTransformedNorSelected)
{
    TQV_01Cmp2D d;
    TFakeDrawingView view;
    d.View = &view;
    d.AddObject(-1, Mark(1, 1));
    auto walking = d.ObjectsIterator();
    ExpectError<ECADListBlocked>([&] { d.TransformObjects({-1}, Rotation(90)); }, ListBusy);
    TGraphicObjList selected(false);
    ExpectError<ECADListBlocked>(
        [&] {
            SelectObjectsInScreenRect(d, selected, {0, 0, 2000, 2000}, 0, false);
        },
        ListBusy);
    EXPECT_EQ(selected.Count(), 0);
    ExpectNear(MarkPosition(d, 0), Pt(1, 1));
}

// Arcs moved in place or copied keep their ends where their profile ends, also under transforms
// that mirror without negating a diagonal element (and under one that negates both and does not).
TEST_F(DrawingOpsTest, MirroredArcsKeepTheirEndsOnTheirProfile)
{
    struct TCase {
        const char* Name;
        TMatrix4 M;
        bool Mirrors;
    };
    const std::vector<TCase> cases = {
        {"mirror in X", TMatrix4::CreateMirror(1), true},
        {"mirror in y = x", SwapXY(), true},
        {"mirror in Y, then turned by 30", Product(TMatrix4::CreateMirror(0), Rotation(30)), true},
        {"turned by 180", Rotation(180), false},
        {"scaled by -2 in X and 2 in Y", TMatrix4::CreateScale(-2, 2, 1), true},
    };
    for (const TCase& c : cases) {
        for (uint8_t direction : {uint8_t{1}, uint8_t{0}}) {
            SCOPED_TRACE(std::string(c.Name) + (direction ? ", counter-clockwise" : ", clockwise"));
            TQV_01Cmp2D d;
            auto made = std::make_unique<TArco2D>(-1, Pt(2, 1), Pt(5, 1), 0.4, 2.5);
            made->SetDirection(direction);
            TArco2D* arc = d.AddObject(-1, std::move(made));
            arc->SetModelTransform(c.M);
            const int32_t copyId = AddTransformedCopy(d, *arc);
            arc->SetModelTransform(IdentityMatrix);
            d.TransformObjects({arc->ID}, c.M);
            ASSERT_TRUE(arc->BaseTransform() && arc->BaseTransform()->IsEqual(c.M));

            auto* copy = dynamic_cast<TArco2D*>(d.GetObject(copyId));
            ASSERT_NE(copy, nullptr);
            EXPECT_EQ(copy->Direction(), direction);
            for (TArco2D* a : {arc, copy}) {
                const std::vector<TPoint2D> profile = WorldShape(*a);
                TArcInfo2D info;
                a->GetArcInfo2D(info);
                ExpectNear(info.StartPt, c.Mirrors ? profile.back() : profile.front());
                ExpectNear(info.EndPt, c.Mirrors ? profile.front() : profile.back());
            }
            ExpectSameShape(*copy, *arc);
        }
    }
}

// ---- extents and zoom ----

TEST_F(DrawingOpsTest, ExtentsHoldTheVisibleObjectsOnly)
{
    TQV_01Cmp2D d;
    TRect2D r = MakeRect2D(1, 2, 3, 4);
    d.GetExtents(r);
    ExpectNear(r.First, Pt(1, 2)); // no objects: left as passed
    ExpectNear(r.Second, Pt(3, 4));

    d.Layers.GetLayer(5).Visible = false;
    d.AddObjectToLayer(-1, 5, std::make_unique<TLine2D>(-1, Pt(-50, -50), Pt(-40, -40)));
    d.GetExtents(r);
    ExpectNear(r.First, Pt(1e8, 1e8)); // none visible: the inverted start box
    ExpectNear(r.Second, Pt(-1e8, -1e8));

    std::vector<TObject2D*> shown, hidden{d.GetObject(0)};
    shown.push_back(d.AddObject(-1, std::make_unique<TLine2D>(-1, Pt(10, 5), Pt(0, 0))));
    shown.push_back(d.AddObject(-1, std::make_unique<TCerchio2D>(-1, Pt(20, 20), Pt(25, 20))));
    auto frame = std::make_unique<TFrame2D>(-1, Pt(0, 0), Pt(4, 4));
    frame->SetBaseTransform(Product(Rotation(45), TMatrix4::CreateTranslation(30, 0, 0)));
    shown.push_back(d.AddObject(-1, std::move(frame)));
    hidden.push_back(d.AddObject(-1, std::make_unique<TPunto2D>(-1, Pt(100, 100))));
    hidden.back()->Visible = false;
    d.GetExtents(r);
    // The circle's box is that of its profile, a polygon inscribed in it.
    ExpectNear(r.First, Pt(0, 0));
    ExpectNear(r.Second, Pt(30 + 2 * std::sqrt(2.0), shown[1]->Box.Second.Y));
    EXPECT_NEAR(r.Second.Y, 25, 0.02);
    for (TObject2D* obj : shown) {
        SCOPED_TRACE(obj->ClassName());
        EXPECT_TRUE(IsPointInRect2D(obj->Box.First, r) && IsPointInRect2D(obj->Box.Second, r));
    }
    for (TObject2D* obj : hidden) {
        SCOPED_TRACE(obj->ClassName());
        EXPECT_FALSE(IsPointInRect2D(obj->Box.First, r) || IsPointInRect2D(obj->Box.Second, r));
    }
}

TEST_F(DrawingOpsTest, ZoomToExtentsOrToTheGrid)
{
    struct TCase {
        const char* Name;
        std::function<void(TQV_01Cmp2D&)> Fill;
        bool ToGrid;
    };
    const std::vector<TCase> cases = {
        {"empty drawing", [](TQV_01Cmp2D&) {}, true},
        // Used to zoom to a square 2e8 units wide.
        {"only hidden objects", [](TQV_01Cmp2D& d) { d.AddObject(-1, Mark(3, 4))->Visible = false; }, true},
        {"visible objects",
         [](TQV_01Cmp2D& d) {
             d.AddObject(-1, Mark(3, 4));
             d.AddObject(-1, Mark(-1, 9));
         },
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D d;
        c.Fill(d);
        d.ZoomToExtents(); // no view: nothing to zoom
        TFakeDrawingView view;
        d.View = &view;
        d.ZoomToExtents();
        ASSERT_EQ(view.Zooms.size(), 1u);
        const TRect3D want = c.ToGrid ? view.Grid : MakeRect3D(-1, 4, 0, 3, 9, 0);
        for (const auto& [got, expected] :
             {std::pair{view.Zooms[0].First, want.First}, std::pair{view.Zooms[0].Second, want.Second}}) {
            EXPECT_EQ(got.X, expected.X);
            EXPECT_EQ(got.Y, expected.Y);
            EXPECT_EQ(got.Z, expected.Z);
        }
    }
}

TEST_F(DrawingOpsTest, RebuildBuildsTheObjectsOfVisibleLayersUnderTheBusyCursor)
{
    TQV_01Cmp2D d;
    d.Layers.GetLayer(5).Visible = false;
    d.AddObject(-1, Mark(1, 0));
    d.AddObjectToLayer(-1, 5, Mark(2, 0));
    d.AddObject(-1, Mark(3, 0))->Visible = false; // its own flag is the display's business
    TTestMark::Built.clear();
    TFakeDrawingView view;
    d.View = &view;
    d.RebuildGLObjects();
    ASSERT_EQ(TTestMark::Built.size(), 2u);
    EXPECT_EQ(TTestMark::Built[0].X, 1);
    EXPECT_EQ(TTestMark::Built[1].X, 3);
    EXPECT_EQ(view.Events, (std::vector<std::string>{"busy", "idle"}));

    d.View = nullptr;
    d.RebuildGLObjects();
    EXPECT_EQ(TTestMark::Built.size(), 4u);
}

// ---- window selection ----

// The view shows one world unit as 10 pixels, the world origin at pixel (0, 1000).
TEST_F(DrawingOpsTest, WindowSelectionTakesWhatLiesWhollyInside)
{
    TQV_01Cmp2D d;
    TFakeDrawingView view;
    d.View = &view;
    // The line's box is pixels 100..200 across and 800..900 down.
    const int32_t line = d.AddObject(-1, std::make_unique<TLine2D>(-1, Pt(10, 10), Pt(20, 20)))->ID;
    // The circle's box is pixels 450..550 both ways; its control points only 500..550 by 500.
    const int32_t circle = d.AddObject(-1, std::make_unique<TCerchio2D>(-1, Pt(50, 50), Pt(55, 50)))->ID;
    // Never selected: an inactive layer, a hidden layer, a disabled object, an own-style object,
    // an STL surface.
    d.Layers.GetLayer(2).Active = false;
    d.Layers.GetLayer(3).Visible = false;
    d.AddObjectToLayer(-1, 2, std::make_unique<TPunto2D>(-1, Pt(60, 60)));
    d.AddObjectToLayer(-1, 3, std::make_unique<TPunto2D>(-1, Pt(60, 60)));
    d.AddObject(-1, std::make_unique<TPunto2D>(-1, Pt(60, 60)))->Enabled = false;
    d.AddObject(-1, std::make_unique<TLine2D>(-1, Pt(60, 60), Pt(61, 61), 255, 1, IdentityMatrix));
    d.AddObject(-1, std::make_unique<TQV_STLSurf>(-1, BoxMesh(60, 60, 0, 70, 70, 5)));

    struct TCase {
        const char* Name;
        TRect Window;
        uint8_t Mode;
        std::vector<int32_t> Want;
    };
    const std::vector<TCase> cases = {
        {"edge to edge around the line", {100, 800, 200, 900}, 0, {line}},
        {"dragged from the lower right", {200, 900, 100, 800}, 0, {line}},
        {"dragged from the lower left", {100, 900, 200, 800}, 0, {line}},
        {"cutting the line's box", {101, 800, 200, 900}, 0, {}},
        // Used to select the circle by its centre and rim point alone.
        {"around the circle's control points only", {490, 490, 560, 510}, 0, {}},
        {"around the circle", {450, 450, 550, 550}, 0, {circle}},
        {"around everything", {0, 0, 2000, 2000}, 0, {line, circle}},
        {"another mode", {0, 0, 2000, 2000}, 1, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGraphicObjList selected(false);
        SelectObjectsInScreenRect(d, selected, c.Window, c.Mode, false);
        std::vector<int32_t> got;
        auto it = selected.GetIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            got.push_back(obj->ID);
        EXPECT_EQ(got, c.Want);
    }
    EXPECT_EQ(d.ObjectsCount(), 7);

    d.View = nullptr;
    TGraphicObjList none(false);
    SelectObjectsInScreenRect(d, none, {0, 0, 2000, 2000}, 0, false);
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(DrawingOpsTest, ExtractedObjectsLeaveTheDrawingForTheList)
{
    TFakeDrawingView view;
    TRecordingTree tree;
    std::vector<int32_t> announced;
    TQV_01Cmp2D d;
    d.View = &view;
    d.TreeGeo = &tree;
    d.AddFreeListener([&](TGraphicObject& obj) { announced.push_back(obj.ID); });
    d.AddObject(-1, Mark(1, 1));
    d.AddObject(-1, Mark(50, 50));
    d.AddObject(-1, Mark(2, 2));

    TGraphicObjList taken(false);
    SelectObjectsInScreenRect(d, taken, {0, 900, 100, 1000}, 0, true);
    EXPECT_TRUE(taken.OwnsObjects());
    EXPECT_EQ(IdsOf(d), (std::vector<int32_t>{1}));
    EXPECT_EQ(taken.Count(), 2);
    EXPECT_EQ(tree.Deleted, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(announced, (std::vector<int32_t>{0, 2}));
    auto it = taken.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        EXPECT_EQ(obj->Owner, nullptr);
}

// ---- transformed copies ----

TEST_F(DrawingOpsTest, TransformedCopiesKeepClassAndShape)
{
    const std::vector<TPoint2D> zigzag{Pt(0, 0), Pt(4, 1), Pt(5, 5), Pt(1, 3)};
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TPrimitive2D>()> Make;
        bool Baked; // the copy carries the transform in its points
        const char* CopyClass = nullptr; // when not the source's
        bool Picked = true;              // polygons are display fills, never picked
    };
    const std::vector<TCase> cases = {
        {"point", [] { return std::make_unique<TPunto2D>(-1, Pt(1, 2)); }, true},
        {"line", [] { return std::make_unique<TLine2D>(-1, Pt(1, 2), Pt(3, -1)); }, true},
        {"frame", [] { return std::make_unique<TFrame2D>(-1, Pt(0, 0), Pt(4, 2)); }, false},
        {"rectangle", [] { return std::make_unique<TRectangle2D>(-1, Pt(0, 0), Pt(4, 2)); }, false,
         "TFrame2D"},
        {"circle", [] { return std::make_unique<TCerchio2D>(-1, Pt(1, 1), Pt(3, 1)); }, true},
        {"filled circle", [] { return std::make_unique<TFilledCerchio2D>(-1, Pt(1, 1), Pt(3, 1)); }, true,
         "TCerchio2D"},
        {"arc", [] { return std::make_unique<TArco2D>(-1, Pt(1, 1), Pt(3, 1), 0.3, 2.2); }, false},
        {"polyline", [&] { return std::make_unique<TPolyline2D>(-1, zigzag); }, true},
        {"polygon", [&] { return std::make_unique<TPolygon2D>(-1, zigzag); }, true, nullptr, false},
        {"B-spline", [&] { return std::make_unique<TBSpline2D>(-1, zigzag); }, true},
        {"ellipse", [] { return std::make_unique<TEllipse2D>(-1, Pt(0, 0), Pt(4, 2)); }, false},
        // A filled ellipse copied as a filled ellipse could never be picked.
        {"filled ellipse", [] { return std::make_unique<TFilledEllipse2D>(-1, Pt(0, 0), Pt(4, 2)); }, false,
         "TEllipse2D"},
        {"elliptic arc", [] { return std::make_unique<TEllipseOpen2D>(-1, Pt(0, 0), Pt(4, 2), 0.5, 2); },
         false},
    };
    const TMatrix4 placements[] = {
        Product(Rotation(30), TMatrix4::CreateTranslation(5, -3, 0)),
        Product(TMatrix4::CreateMirror(0), TMatrix4::CreateScale(2, 2, 1)),
    };
    for (const TCase& c : cases) {
        for (const TMatrix4& placement : placements) {
            SCOPED_TRACE(c.Name);
            TQV_01Cmp2D d;
            TPrimitive2D* source = d.AddObject(-1, c.Make());
            source->SetBaseTransform(TMatrix4::CreateTranslation(1, 1, 0));
            source->SetModelTransform(placement); // a transform task's preview
            d.CurrentLayer = 4;

            const int32_t id = AddTransformedCopy(d, *source);
            ASSERT_GE(id, 0);
            EXPECT_NE(id, source->ID);
            auto* copy = dynamic_cast<TPrimitive2D*>(d.GetObject(id));
            ASSERT_NE(copy, nullptr);
            EXPECT_EQ(copy->ClassName(), c.CopyClass ? c.CopyClass : source->ClassName());
            EXPECT_EQ(copy->Layer, 4);
            EXPECT_EQ(copy->ModelTransform(), nullptr);
            EXPECT_EQ(copy->HasTransform(), !c.Baked);
            EXPECT_EQ(copy->IsClosed(), source->IsClosed());
            ExpectSameShape(*copy, *source);
            EXPECT_EQ(d.ObjectsCount(), 2);
            EXPECT_EQ(source->Layer, 0);
            // The copy is picked on its outline.
            const TPoint2D onOutline = WorldShape(*copy).front();
            double dist = 0;
            EXPECT_EQ(copy->HitTest(onOutline, dist, 0.01) >= HitInside, c.Picked);
            ASSERT_NE(source->ModelTransform(), nullptr); // the source is left as it was
            EXPECT_TRUE(source->ModelTransform()->IsEqual(placement));
        }
    }
}

TEST_F(DrawingOpsTest, RotatedFrameCopyIsAFrameOnTheRotatedCorners)
{
    TQV_01Cmp2D d;
    TFrame2D* frame = d.AddObject(-1, std::make_unique<TFrame2D>(-1, Pt(0, 0), Pt(4, 2)));
    frame->SetModelTransform(Rotation(90));
    auto* copy = dynamic_cast<TFrame2D*>(d.GetObject(AddTransformedCopy(d, *frame)));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->ClassName(), "TFrame2D");
    const std::vector<TPoint2D> profile = WorldShape(*copy);
    ASSERT_EQ(profile.size(), 5u);
    // The corners (0, 0), (4, 0), (4, 2), (0, 2) turned by 90 degrees, in some order round.
    const std::vector<TPoint2D> corners{Pt(0, 0), Pt(0, 4), Pt(-2, 4), Pt(-2, 0)};
    for (const TPoint2D& corner : corners) {
        bool found = false;
        for (size_t i = 0; i < 4; ++i)
            found = found || Distance2D(profile[i], corner) < Tol;
        EXPECT_TRUE(found) << corner.X << ", " << corner.Y;
    }
    ExpectNear(copy->Box.First, Pt(-2, 0));
    ExpectNear(copy->Box.Second, Pt(0, 4));
}

TEST_F(DrawingOpsTest, ClassesWithoutACopyRuleAddNothing)
{
    TQV_01Cmp2D d;
    TJustifiedVectText2D* text =
        d.AddObject(-1, std::make_unique<TJustifiedVectText2D>(-1, nullptr, Pt(0, 0), Pt(10, 5), 2, "AB"));
    TContainer2D* container = d.AddObject(-1, std::make_unique<TContainer2D>(-1));
    TTestMark* mark = d.AddObject(-1, Mark(1, 1));
    for (TObject2D* obj : std::vector<TObject2D*>{text, container, mark}) {
        SCOPED_TRACE(obj->ClassName());
        EXPECT_EQ(AddTransformedCopy(d, *obj), -1);
    }
    EXPECT_EQ(d.ObjectsCount(), 3);
    EXPECT_EQ(d.NextObjectID, 3);
}

// ---- layer colours ----

TEST(LayerGLColor, PenColourAsOpaqueRGBA)
{
    struct TCase {
        const char* Name;
        int32_t Color;
        std::array<float, 4> Want;
    };
    const std::vector<TCase> cases = {
        {"black", 0x000000, {0, 0, 0, 1}},
        {"red is the low byte", 0x0000FF, {1, 0, 0, 1}},
        {"blue is the third byte", 0xFF0000, {0, 0, 1, 1}},
        {"a mixed colour", 0x336699, {0x99 / 255.0f, 0x66 / 255.0f, 0x33 / 255.0f, 1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_21Layer layer(0);
        layer.Pen.SetColor(c.Color);
        EXPECT_EQ(GetLayerGLColor(layer), c.Want);
    }
}
