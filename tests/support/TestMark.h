#pragma once
// A small drawing object for the container and drawing tests: one point, hit within the
// aperture of where its transform puts it; it records the transform it was displayed with.
#include "QVCmp.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVObject2D.h"
#include "QVRegistry.h"

#include <gtest/gtest.h>

#include <vector>

class TTestMark : public TObject2D {
public:
    explicit TTestMark(int32_t id) : TObject2D(id) {}
    TTestMark(int32_t id, double x, double y) : TObject2D(id), P{x, y, 1} { UpdateBox(); }
    TTestMark(TStreamReader& s, const std::string& tag) : TObject2D(s, tag)
    {
        P.X = s.ReadDouble();
        P.Y = s.ReadDouble();
    }

    std::string_view ClassName() const override { return "TTestMark"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override
    {
        return std::make_unique<TTestMark>(id);
    }
    void Assign(const TGraphicObject& source) override
    {
        TObject2D::Assign(source);
        if (const auto* m = dynamic_cast<const TTestMark*>(&source))
            P = m->P;
    }
    void SaveToStream(TStreamWriter& s) override
    {
        TObject2D::SaveToStream(s);
        s.WriteDouble(P.X);
        s.WriteDouble(P.Y);
    }
    TPoint2D World() const { return CartesianPoint2D(GetModelTransform().TransformPoint2D(P)); }
    void ComputeBox() override
    {
        const TPoint2D w = World();
        Box = MakeRect2D(w.X, w.Y, w.X, w.Y);
    }
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override
    {
        if (NearPoint2D(World(), pt, dist, aperture))
            return HitOutline;
        return HitMiss;
    }
    // Where each display build put the point.
    void BuildGL() override { Built.push_back(World()); }

    TPoint2D P{0, 0, 1};
    static inline std::vector<TPoint2D> Built;
};

constexpr int16_t TestMarkIndex = 100;

// The drawing classes and the test mark are registered for each test and cleared after it.
class DrawingClasses : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterDrawingClasses();
        QV_00RegisterClass(TestMarkIndex, GraphicClassOf<TTestMark>("TTestMark"));
        TTestMark::Built.clear();
    }
    void TearDown() override { QV_00ClearClassRegistry(); }
};

inline std::unique_ptr<TTestMark> Mark(double x, double y, int32_t id = -1)
{
    return std::make_unique<TTestMark>(id, x, y);
}

// The IDs of the drawing's objects in list order.
inline std::vector<int32_t> IdsOf(TQV_01Cmp& d)
{
    std::vector<int32_t> ids;
    auto it = d.ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        ids.push_back(obj->ID);
    return ids;
}
