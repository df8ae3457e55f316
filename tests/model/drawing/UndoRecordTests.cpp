// The undo record builder orders the IDs of an edit as its kind wants them, whatever order the
// tool names them in; a push or an undo that fails for another reason than a missing object or
// class neither loses the error nor the record.
#include "QVVariabili.h"
#include "TestMark.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A mark whose writing or reading fails when told to, as a full memory or a broken read would.
class TFailingMark : public TTestMark {
public:
    explicit TFailingMark(int32_t id) : TTestMark(id) {}
    TFailingMark(int32_t id, double x, double y) : TTestMark(id, x, y) {}
    TFailingMark(TStreamReader& s, const std::string& tag) : TTestMark(s, tag)
    {
        if (FailRead)
            throw std::runtime_error("read failed");
    }
    std::string_view ClassName() const override { return "TFailingMark"; }
    void SaveToStream(TStreamWriter& s) override
    {
        if (FailWrite)
            throw std::bad_alloc();
        TTestMark::SaveToStream(s);
    }
    static inline bool FailWrite = false, FailRead = false;
};

constexpr int16_t FailingMarkIndex = 101;

class UndoRecord : public DrawingClasses {
protected:
    void SetUp() override
    {
        DrawingClasses::SetUp();
        QV_00RegisterClass(FailingMarkIndex, GraphicClassOf<TFailingMark>("TFailingMark"));
        TFailingMark::FailWrite = TFailingMark::FailRead = false;
        Log.AttachDrawing(&D);
        for (int i = 0; i < 6; ++i)
            Marks.push_back(D.AddObject(-1, std::make_unique<TTestMark>(-1, i, i)));
    }
    void TearDown() override
    {
        Log.AttachDrawing(nullptr);
        DrawingClasses::TearDown();
    }
    int32_t Id(int i) const { return Marks[static_cast<size_t>(i)]->ID; }
    const TGraphicObject& M(int i) const { return *Marks[static_cast<size_t>(i)]; }

    TQV_01Cmp2D D;
    TUndoRedo Log;
    std::vector<TGraphicObject*> Marks;
};

struct TOrderCase {
    std::string Name;
    TUndoKind Kind;
    // Names the parts, in an order of its own.
    std::function<void(TUndoRecord&, const std::function<const TGraphicObject&(int)>&)> Build;
    // The marks' indices in the order the record must list them; a negative entry -L is layer L.
    std::vector<int> Order;
};

TEST_F(UndoRecord, PutsTheIdsInTheOrderOfItsKind)
{
    using TBuild = std::function<const TGraphicObject&(int)>;
    const std::vector<TOrderCase> cases = {
        {"delete",
         TUndoKind::Delete,
         [](TUndoRecord& r, const TBuild& m) { r.Removed(m(2)).Removed(m(0)); },
         {2, 0}},
        {"fillet: the arc comes last",
         TUndoKind::FilletLines,
         [](TUndoRecord& r, const TBuild& m) { r.Added(m(5)).Changed(m(1)).Changed(m(0)); },
         {1, 0, 5}},
        {"break: the objects broken before the pieces",
         TUndoKind::Break,
         [](TUndoRecord& r, const TBuild& m) { r.Added(m(3)).Removed(m(0)).Added(m(4)).Removed(m(1)); },
         {0, 1, 3, 4}},
        {"divide",
         TUndoKind::Divide,
         [](TUndoRecord& r, const TBuild& m) { r.Added(m(4)).Changed(m(2)); },
         {2, 4}},
        {"join: the object kept first",
         TUndoKind::Join,
         [](TUndoRecord& r, const TBuild& m) { r.Removed(m(3)).Changed(m(1)); },
         {1, 3}},
        {"explode: the container first",
         TUndoKind::Explode,
         [](TUndoRecord& r, const TBuild& m) { r.Added(m(1)).Added(m(2)).Removed(m(0)); },
         {0, 1, 2}},
        {"offset that moves: the object picked last",
         TUndoKind::OffsetMove,
         [](TUndoRecord& r, const TBuild& m) { r.Removed(m(0)).Added(m(4)).Added(m(5)); },
         {4, 5, 0}},
        {"replace: each object beside its replacement",
         TUndoKind::TransformReplace,
         [](TUndoRecord& r, const TBuild& m) { r.Replaced(m(0), m(3)).Replaced(m(1), m(4)); },
         {0, 3, 1, 4}},
        {"move to layer: each object beside its old layer",
         TUndoKind::MoveToLayer,
         [](TUndoRecord& r, const TBuild& m) { r.MovedToLayer(m(2), 7).MovedToLayer(m(0), 0); },
         {2, -7, 0, 0}},
        {"new objects", TUndoKind::NewObjects, [](TUndoRecord& r, const TBuild& m) { r.Added(m(3)); }, {3}},
    };
    const TBuild mark = [this](int i) -> const TGraphicObject& { return M(i); };
    for (const TOrderCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Log.Clear();
        TUndoRecord record(c.Kind);
        c.Build(record, mark);
        record.Push(Log);
        std::vector<int32_t> expected;
        for (size_t i = 0; i < c.Order.size(); ++i) {
            const bool layer = c.Kind == TUndoKind::MoveToLayer && i % 2 == 1;
            expected.push_back(layer ? -c.Order[i] : Id(c.Order[i]));
        }
        EXPECT_EQ(UndoIdList, expected);
        ASSERT_EQ(Log.RecordCount(), 1);
        EXPECT_EQ(Log.Record(0).Kind, static_cast<uint8_t>(c.Kind));
        EXPECT_EQ(Log.Record(0).Count, static_cast<int32_t>(expected.size()));
    }
}

// An error that is not a missing class used to end the record quietly, a shorter one.
TEST_F(UndoRecord, AWriteThatFailsReachesTheCallerAndPushesNothing)
{
    TGraphicObject* failing = D.AddObject(-1, std::make_unique<TFailingMark>(-1, 9, 9));
    TFailingMark::FailWrite = true;
    EXPECT_THROW(TUndoRecord(TUndoKind::Delete).Removed(M(0)).Removed(*failing).Push(Log), std::bad_alloc);
    EXPECT_EQ(Log.RecordCount(), 0);
    EXPECT_EQ(Log.StreamSize(), 0u);
    TFailingMark::FailWrite = false;
    TUndoRecord(TUndoKind::Delete).Removed(M(0)).Removed(*failing).Push(Log);
    ASSERT_EQ(Log.RecordCount(), 1);
    EXPECT_EQ(Log.Record(0).Written, 2);
}

TEST_F(UndoRecord, AnUndoThatFailsPartWayKeepsItsRecordForAnotherTry)
{
    TGraphicObject* failing = D.AddObject(-1, std::make_unique<TFailingMark>(-1, 9, 9));
    const int32_t failingId = failing->ID, firstId = Id(0);
    TUndoRecord(TUndoKind::Delete).Removed(M(0)).Removed(*failing).Push(Log);
    D.DeleteObject(firstId);
    D.DeleteObject(failingId);
    const int count = D.ObjectsCount();
    TFailingMark::FailRead = true;
    EXPECT_THROW(Log.Undo(), std::runtime_error);
    EXPECT_EQ(Log.RecordCount(), 1);
    EXPECT_EQ(D.ObjectsCount(), count + 1); // the first object is back
    TFailingMark::FailRead = false;
    Log.Undo();
    EXPECT_EQ(Log.RecordCount(), 0);
    EXPECT_EQ(D.ObjectsCount(), count + 2);
    EXPECT_NE(D.GetObject(firstId), nullptr);
    EXPECT_NE(D.GetObject(failingId), nullptr);
}

} // namespace
