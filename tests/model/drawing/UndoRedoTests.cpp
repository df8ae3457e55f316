#include "Bitmap32.h"
#include "CADExceptions.h"
#include "FakeServices.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVSplines.h"
#include "RecordingTree.h"
#include "SavedBytes.h"
#include "TestMark.h"
#include "UndoRedo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using TIds = std::vector<int32_t>;

TPoint2D P(double x, double y)
{
    return TPoint2D{x, y, 1};
}

class UndoLog : public DrawingClasses {
protected:
    void SetUp() override
    {
        DrawingClasses::SetUp();
        D.TreeGeo = &Tree;
        Log.AttachDrawing(&D);
        Fill();
    }
    void TearDown() override
    {
        Log.AttachDrawing(nullptr);
        DrawingClasses::TearDown();
    }

    // A drawing of every kind of shape the edit tools work on, over four layers.
    void Fill()
    {
        for (int i = 0; i < 4; ++i) {
            D.CurrentLayer = static_cast<uint16_t>(i);
            const double y = 10.0 * i;
            D.AddObject(-1, std::make_unique<TLine2D>(-1, P(0, y), P(5, y + 1)));
            D.AddObject(-1, std::make_unique<TArco2D>(-1, P(10, y), P(12, y), 0.2, 2.5));
            D.AddObject(-1, std::make_unique<TCerchio2D>(-1, P(20, y), P(21, y)));
            const std::vector<TPoint2D> pts{P(30, y), P(31, y + 2), P(33, y), P(34, y + 3)};
            D.AddObject(-1, std::make_unique<TPolyline2D>(-1, pts));
            D.AddObject(-1, std::make_unique<TFrame2D>(-1, P(40, y), P(42, y + 2)));
            D.AddObject(-1, std::make_unique<TEllipse2D>(-1, P(50, y), P(53, y + 1)));
            D.AddObject(-1, std::make_unique<TPunto2D>(-1, P(60, y)));
            D.AddObject(-1, std::make_unique<TLine2D>(-1, P(70, y), P(71, y - 2)));
        }
        const std::vector<TPoint2D> spline{P(0, 60), P(2, 63), P(4, 61), P(6, 64)};
        D.AddObject(-1, std::make_unique<TBSpline2D>(-1, spline));
        D.AddObject(-1, std::make_unique<TEllipseOpen2D>(-1, P(10, 60), P(14, 62), 0.5, 2.0));
        D.AddObject(-1, std::make_unique<TBitmap2D>(-1, P(20, 60), P(24, 63), *NewBitmap32(2, 2)));
        std::vector<std::unique_ptr<TGraphicObject>> children;
        children.push_back(std::make_unique<TLine2D>(-1, P(0, 50), P(1, 51)));
        children.push_back(std::make_unique<TCerchio2D>(-1, P(3, 50), P(4, 50)));
        D.AddObject(-1, std::make_unique<TContainer2D>(-1, std::move(children)));
        D.CurrentLayer = 1;
    }

    std::vector<uint8_t> Bytes() { return Saved(D); }

    // A random object of the class T (any object for TObject2D), or null.
    template <class T> T* Pick()
    {
        std::vector<T*> found;
        auto it = D.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            if (auto* t = dynamic_cast<T*>(obj))
                found.push_back(t);
        if (found.empty())
            return nullptr;
        return found[std::uniform_int_distribution<size_t>(0, found.size() - 1)(Rng)];
    }
    // Two different objects of the class, or false.
    template <class T> bool PickTwo(T*& A, T*& B)
    {
        A = Pick<T>();
        for (int tries = 0; A && tries < 20; ++tries) {
            B = Pick<T>();
            if (B != A)
                return true;
        }
        return false;
    }
    double Offset() { return std::uniform_real_distribution<double>(-3, 3)(Rng); }

    // Moves every control point of a primitive, or transforms anything else.
    void Reshape(TObject2D& Obj)
    {
        if (auto* prim = dynamic_cast<TPrimitive2D*>(&Obj)) {
            for (int i = 0; i < prim->Points().Count(); ++i) {
                TPoint2D p = prim->Points().Get(i);
                prim->Points().SetPoint(i, P(p.X + Offset(), p.Y + Offset()));
            }
            return;
        }
        Obj.TransformBy(TMatrix4::CreateTranslation(Offset(), Offset(), 0));
        Obj.ApplyTransform();
        Obj.UpdateBox();
    }
    // A new object made by a tool (a moved copy of Obj) on the current layer.
    int32_t AddCopyOf(const TObject2D& Obj)
    {
        std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(Obj);
        auto* copy2D = static_cast<TObject2D*>(copy.get());
        copy2D->TransformBy(TMatrix4::CreateTranslation(Offset(), Offset(), 0));
        copy2D->ApplyTransform();
        return D.AddObject(-1, std::move(copy))->ID;
    }
    int32_t AddLine()
    {
        return D.AddObject(-1, std::make_unique<TLine2D>(-1, P(Offset(), Offset()), P(Offset(), Offset())))
            ->ID;
    }

    // Makes the edit a record of Kind stands for, on objects picked at random, and pushes the
    // record as the tool does. False when the drawing holds nothing the edit works on.
    bool Edit(uint8_t Kind)
    {
        TObject2D *a = nullptr, *b = nullptr;
        switch (Kind) {
        case 0: // delete
            if (!(a = Pick<TObject2D>()))
                return false;
            Log.AddUndo(0, {a->ID});
            D.DeleteObject(a->ID);
            return true;
        case 1: // trims: both objects change
        case 2:
        case 3:
            if (!PickTwo(a, b))
                return false;
            Log.AddUndo(Kind, {a->ID, b->ID});
            Reshape(*a);
            Reshape(*b);
            return true;
        case 4: // fillets: a new arc, both objects change
        case 5:
        case 6: {
            if (!PickTwo(a, b))
                return false;
            const int32_t arc = D.AddObject(-1, std::make_unique<TArco2D>(-1, P(1, 1), P(2, 1), 0, 1))->ID;
            Log.AddUndo(Kind, {a->ID, b->ID, arc});
            Reshape(*a);
            Reshape(*b);
            return true;
        }
        case 7: { // break: pieces come, both objects go
            if (!PickTwo(a, b))
                return false;
            TIds ids{a->ID, b->ID, AddCopyOf(*a), AddCopyOf(*a), AddCopyOf(*b)};
            Log.AddUndo(7, ids);
            D.DeleteObject(ids[0]);
            D.DeleteObject(ids[1]);
            return true;
        }
        case 8: { // divide
            if (!(a = Pick<TLine2D>()))
                return false;
            const int32_t piece = AddCopyOf(*a);
            Log.AddUndo(8, {a->ID, piece});
            Reshape(*a);
            return true;
        }
        case 9: // join: the first changes, the second goes
            if (!PickTwo(a, b))
                return false;
            Log.AddUndo(9, {a->ID, b->ID});
            Reshape(*a);
            D.DeleteObject(b->ID);
            return true;
        case 10: // extend, control points
        case 12:
            if (!(a = Pick<TObject2D>()) || !dynamic_cast<TPrimitive2D*>(a))
                return false;
            Log.AddUndo(Kind, {a->ID});
            Reshape(*a);
            return true;
        case 11: { // explode: lines come, the object goes
            if (!(a = Pick<TObject2D>()))
                return false;
            TIds ids{a->ID, AddLine(), AddLine(), AddLine()};
            Log.AddUndo(11, ids);
            D.DeleteObject(a->ID);
            return true;
        }
        case 13:   // copies
        case 17:   // offset that keeps the picked object
        case 21: { // copies on another layer
            if (!(a = Pick<TObject2D>()))
                return false;
            const uint16_t layer = D.CurrentLayer;
            if (Kind == 21)
                D.CurrentLayer = 7;
            TIds ids{AddCopyOf(*a), AddCopyOf(*a)};
            D.CurrentLayer = layer;
            Log.AddUndo(Kind, ids);
            return true;
        }
        case 14: { // transform in place
            TIds ids;
            for (int i = 0; i < 3; ++i)
                if ((a = Pick<TObject2D>()) && std::find(ids.begin(), ids.end(), a->ID) == ids.end())
                    ids.push_back(a->ID);
            if (ids.empty())
                return false;
            Log.AddUndo(14, ids);
            TMatrix4 m = TMatrix4::CreateRotation(true, 30);
            m.Translate(Offset(), 1, 0);
            for (int32_t id : ids) {
                TObject2D* obj = D.GetObject(id);
                obj->TransformBy(m);
                obj->ApplyTransform();
                obj->UpdateBox();
            }
            return true;
        }
        case 15:   // transforms that replace: the replacement comes, the object goes
        case 19: { // simplification
            if (!(a = Pick<TObject2D>()))
                return false;
            const int32_t replacement = AddCopyOf(*a);
            Log.AddUndo(Kind, {a->ID, replacement});
            D.DeleteObject(a->ID);
            return true;
        }
        case 16: { // offset that moves the picked object
            if (!(a = Pick<TObject2D>()))
                return false;
            TIds ids{AddCopyOf(*a), AddCopyOf(*a), a->ID};
            Log.AddUndo(16, ids);
            D.DeleteObject(a->ID);
            return true;
        }
        case 18: { // move to another layer: pairs of object and old layer, pushed after
            if (!PickTwo(a, b))
                return false;
            const TIds ids{a->ID, a->Layer, b->ID, b->Layer};
            a->Layer = 9;
            b->Layer = 9;
            if (D.TreeGeo) {
                D.TreeGeo->MoveGeoTreeObjectNode(*a);
                D.TreeGeo->MoveGeoTreeObjectNode(*b);
            }
            Log.AddUndo(18, ids);
            return true;
        }
        case 20: // new objects, pushed after
            Log.AddUndo(20, {AddLine(), AddLine()});
            return true;
        default:
            return false;
        }
    }

    TRecordingTree Tree;
    TQV_01Cmp2D D;
    TUndoRedo Log;
    std::mt19937 Rng{1234};
};

TEST_F(UndoLog, EveryKindTakesItsEditBack)
{
    for (int kind = 0; kind <= TUndoRedo::LastKind; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        Log.Clear();
        D.DeleteAllObjects();
        Fill();
        const std::vector<uint8_t> before = Bytes();
        ASSERT_TRUE(Edit(static_cast<uint8_t>(kind)));
        ASSERT_EQ(Log.RecordCount(), 1);
        EXPECT_NE(Bytes(), before);
        Log.Undo();
        EXPECT_EQ(Log.RecordCount(), 0);
        EXPECT_EQ(Bytes(), before);
    }
}

TEST_F(UndoLog, TwoHundredMixedEditsAllTakenBack)
{
    std::mt19937 kinds(77);
    const std::vector<uint8_t> start = Bytes();
    int edits = 0;
    while (edits < 200)
        if (Edit(static_cast<uint8_t>(std::uniform_int_distribution<int>(0, TUndoRedo::LastKind)(kinds))))
            ++edits;
    ASSERT_EQ(Log.RecordCount(), 200);
    while (Log.RecordCount() > 0)
        Log.Undo();
    EXPECT_EQ(Bytes(), start);
}

// Each class keeps its points in its own way; an edit of them is taken back for every one.
TEST_F(UndoLog, ControlPointEditOfEachClassIsTakenBack)
{
    for (const int32_t id : IdsOf(D)) {
        auto* prim = dynamic_cast<TPrimitive2D*>(D.GetObject(id));
        if (!prim)
            continue;
        SCOPED_TRACE(std::string(prim->ClassName()));
        const std::vector<uint8_t> before = Bytes();
        Log.AddUndo(12, {id});
        Reshape(*prim);
        ASSERT_NE(Bytes(), before);
        Log.Undo();
        EXPECT_EQ(Bytes(), before);
    }
}

TEST_F(UndoLog, DeletedObjectComesBackWithItsIdLayerAndPlace)
{
    const TIds ids = IdsOf(D);
    const int32_t id = ids[3];
    const uint8_t layer = D.GetObject(id)->Layer;
    Log.AddUndo(0, {id});
    D.DeleteObject(id);
    D.CurrentLayer = 200;
    Log.Undo();
    EXPECT_EQ(IdsOf(D), ids);
    EXPECT_EQ(D.GetObject(id)->Layer, layer);
    EXPECT_EQ(D.CurrentLayer, 200);
}

TEST_F(UndoLog, MoveOfThreeObjectsGoesBackEachToItsLayer)
{
    const TIds ids = IdsOf(D);
    TIds pairs;
    std::vector<uint8_t> layers;
    for (int i : {0, 9, 18}) {
        TGraphicObject* obj = D.GetObject(ids[i]);
        pairs.insert(pairs.end(), {obj->ID, obj->Layer});
        layers.push_back(obj->Layer);
        obj->Layer = 42;
    }
    Log.AddUndo(18, pairs);
    Log.Undo();
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(D.GetObject(pairs[2 * k])->Layer, layers[k]);
    EXPECT_EQ(Tree.Moved, (TIds{pairs[0], pairs[2], pairs[4]}));
}

TEST_F(UndoLog, NewPushAfterUndosTakesBackOnlyItself)
{
    const std::vector<uint8_t> start = Bytes();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Edit(12));
    for (int i = 0; i < 3; ++i)
        Log.Undo();
    EXPECT_EQ(Log.StreamSize(), 0u);
    ASSERT_TRUE(Edit(0));
    const std::vector<uint8_t> afterDelete = Bytes();
    ASSERT_TRUE(Edit(14));
    Log.Undo();
    EXPECT_EQ(Bytes(), afterDelete);
    Log.Undo();
    EXPECT_EQ(Bytes(), start);
}

TEST_F(UndoLog, EmptyLogOnlyHidesThePanel)
{
    TInfoEdit panel(true);
    Log.OnUndo = [&panel] {
        panel.SetReadOnly(false);
        panel.SetVisible(false);
    };
    panel.SetReadOnly(true);
    const std::vector<uint8_t> before = Bytes();
    Log.Undo();
    Log.OnUndo = nullptr;
    EXPECT_FALSE(panel.LiveInfo());
    EXPECT_EQ(Bytes(), before);
}

// A push that meets an ID not in the drawing writes no further image, and its undo reads none:
// the bytes after it belong to nobody.
TEST_F(UndoLog, RecordWithMissingObjectsRestoresOnlyWhatItHolds)
{
    const TIds ids = IdsOf(D);
    Log.AddUndo(0, {ids[0], 9999, ids[1]});
    EXPECT_EQ(Log.Record(0).Count, 3);
    EXPECT_EQ(Log.Record(0).Written, 1);
    D.DeleteObject(ids[0]);
    D.DeleteObject(ids[1]);
    Log.Undo();
    EXPECT_NE(D.GetObject(ids[0]), nullptr);
    EXPECT_EQ(D.GetObject(ids[1]), nullptr);

    // An odd pair count for the pairs kinds, and nothing written at all for the others.
    Log.AddUndo(18, {ids[2]});
    Log.AddUndo(19, {9999, ids[2]});
    Log.AddUndo(12, {});
    const std::vector<uint8_t> before = Bytes();
    Log.Undo();
    Log.Undo();
    Log.Undo();
    EXPECT_EQ(Bytes(), before);
}

// Objects gone since the push, and IDs taken since, are passed over: the rest of the record
// still runs and no second object of one ID appears.
TEST_F(UndoLog, MissingObjectsAndTakenIdsArePassedOver)
{
    const TIds ids = IdsOf(D);
    TLine2D* line = Pick<TLine2D>();
    Log.AddUndo(1, {ids[0], line->ID});
    D.DeleteObject(ids[0]);
    Reshape(*line);
    Log.Undo();
    EXPECT_EQ(D.GetObject(ids[0]), nullptr);

    Log.AddUndo(0, {ids[1]});
    const std::vector<uint8_t> kept = Saved(*D.GetObject(ids[1]));
    D.DeleteObject(ids[1]);
    D.AddObject(ids[1], std::make_unique<TPunto2D>(-1, P(1, 2)));
    Log.AddUndo(20, {12345});
    Log.Undo();
    Log.Undo();
    EXPECT_NE(Saved(*D.GetObject(ids[1])), kept);
    int count = 0;
    for (int32_t id : IdsOf(D))
        count += id == ids[1];
    EXPECT_EQ(count, 1);
}

TEST_F(UndoLog, UnknownClassShowsTheMessageAndStops)
{
    TFakeMainWindow window;
    TInstalledServices installed(&window);
    const TIds ids = IdsOf(D);
    const int32_t mark = D.AddObject(-1, Mark(1, 1))->ID;
    Log.AddUndo(0, {mark, ids[0]});
    D.DeleteObject(mark);
    D.DeleteObject(ids[0]);
    QV_00ClearClassRegistry();
    RegisterDrawingClasses();
    Log.Undo();
    ASSERT_EQ(window.Boxes.size(), 1u);
    EXPECT_EQ(window.Boxes[0].Text, "Object class not found. Object not load");
    EXPECT_EQ(D.GetObject(mark), nullptr);
    EXPECT_EQ(D.GetObject(ids[0]), nullptr);
}

TEST_F(UndoLog, EmptiedDrawingDropsTheRecords)
{
    ASSERT_TRUE(Edit(20));
    D.DeleteAllObjects();
    EXPECT_EQ(Log.RecordCount(), 0);
    D.AddObject(-1, std::make_unique<TPunto2D>(-1, P(0, 0)));
    Log.Undo();
    EXPECT_EQ(D.ObjectsCount(), 1);
}

TEST_F(UndoLog, UndoWhileObjectsAreWalkedKeepsTheRecord)
{
    ASSERT_TRUE(Edit(20));
    {
        auto it = D.ObjectsIterator();
        EXPECT_THROW(Log.Undo(), ECADListBlocked);
    }
    EXPECT_EQ(Log.RecordCount(), 1);
}

// The program-wide references name the object the drawing held; after a delete and its undo the
// object is a new one, which they must not name.
TEST_F(UndoLog, WeakReferencesDoNotOutliveTheirObject)
{
    const std::unique_ptr<TBitmap32> picture = NewBitmap32(2, 2);
    TBitmap2D* added = D.AddObject(-1, std::make_unique<TBitmap2D>(-1, P(0, 0), P(4, 4), *picture));
    CurrentBitmap = added;
    TGraphicObject* label = Pick<TLine2D>();
    DrawingLabel = label;
    Log.AddUndo(0, {added->ID, label->ID});
    const int32_t bitmapId = added->ID;
    D.DeleteObject(added->ID);
    D.DeleteObject(label->ID);
    EXPECT_EQ(CurrentBitmap, nullptr);
    EXPECT_EQ(DrawingLabel, nullptr);
    Log.Undo();
    EXPECT_NE(D.GetObject(bitmapId), nullptr);
    EXPECT_EQ(CurrentBitmap, nullptr);
    EXPECT_EQ(DrawingLabel, nullptr);
}

} // namespace
