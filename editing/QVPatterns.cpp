#include "QVPatterns.h"

#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVList.h"
#include "QVSplines.h"
#include "QVVectText.h"
#include "UnitCatena.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

double Single(double V)
{
    return static_cast<double>(static_cast<float>(V));
}

} // namespace

int32_t PatternCount(double Value)
{
    if (!(Value > 0))
        return 0;
    return static_cast<int32_t>(std::min(std::trunc(Value), static_cast<double>(MaxPatternCount)));
}

std::unique_ptr<TContainer2D> MakePointGrid(double Dx, double Dy, double N, double M, double AngleDeg)
{
    const double dx = Single(Dx), dy = Single(Dy);
    const int32_t n = PatternCount(Single(N)), m = PatternCount(Single(M));
    double a = Single(AngleDeg);
    if (a < 0)
        a += 360;
    a = a * Pi / 180;
    auto grid = std::make_unique<TContainer2D>(-1);
    const double w = (n - 1) * dx, h = (m - 1) * dy;
    const auto rot = [&](double X, double Y) {
        return TVector2D{X * std::cos(a) - Y * std::sin(a), X * std::sin(a) + Y * std::cos(a)};
    };
    double minX = 0, minY = 0;
    for (const TVector2D& c : {rot(0, 0), rot(w, 0), rot(0, h), rot(w, h)}) {
        minX = std::min(minX, c.X);
        minY = std::min(minY, c.Y);
    }
    grid->SetBasePoint(minX, minY);
    for (int32_t i = 0; i < m; ++i)
        for (int32_t j = 0; j < n; ++j) {
            const double x = std::cos(a) * j * dx + std::cos(a + Pi / 2) * i * dy;
            const double y = std::sin(a) * j * dx + std::sin(a + Pi / 2) * i * dy;
            grid->Objects.Add(std::make_unique<TPunto2D>(-1, TPoint2D{x, y, 1}));
        }
    grid->UpdateBox();
    return grid;
}

std::unique_ptr<TContainer2D> MakeBoltCircle(double R, double A0Deg, double StepDeg, double K, double D)
{
    const double r = Single(R), d = Single(D);
    double step = Single(StepDeg);
    if (step < 0)
        step += 360;
    const double a0 = Single(A0Deg) * Pi / 180;
    step = step * Pi / 180;
    const int32_t k = PatternCount(Single(K));
    auto bolt = std::make_unique<TContainer2D>(-1);
    for (int32_t i = 0; i < k; ++i) {
        const double a = a0 + i * step;
        const TPoint2D p{r * std::cos(a), r * std::sin(a), 1};
        bolt->Objects.Add(std::make_unique<TPunto2D>(-1, p));
        if (d > 0)
            bolt->Objects.Add(std::make_unique<TCerchio2D>(-1, p, TPoint2D{p.X + d / 2, p.Y, 1}));
    }
    bolt->UpdateBox();
    bolt->SetBasePoint(k > 0 ? bolt->Box.First.X : 0, k > 0 ? bolt->Box.First.Y : 0);
    return bolt;
}

TDrawingReport MakeDrawingReport(TQV_01Cmp2D& Drawing)
{
    TDrawingReport r;
    {
        TGraphicObjIterator it = Drawing.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
            if (!obj->Visible)
                continue;
            if (!Drawing.Layers.GetLayer(obj->Layer).Visible) {
                ++r.Hidden;
                continue;
            }
            const auto* prim = dynamic_cast<const TPrimitive2D*>(obj);
            const int32_t own = prim ? prim->Points().Count() : 0;
            if (dynamic_cast<const TLine2D*>(obj)) {
                ++r.Lines;
                r.TotalPoints += 2;
            } else if (dynamic_cast<const TPunto2D*>(obj)) {
                ++r.Points;
                r.TotalPoints += 1;
            } else if (dynamic_cast<const TFrame2D*>(obj)) {
                ++r.Rectangles;
                r.TotalPoints += 4;
            } else if (dynamic_cast<const TArco2D*>(obj) || dynamic_cast<const TCerchio2D*>(obj)) {
                ++r.ArcsAndCircles;
                r.TotalPoints += 2;
            } else if (dynamic_cast<const TEllipse2D*>(obj)) {
                ++r.Ellipses;
                r.TotalPoints += own;
            } else if (dynamic_cast<const TPolyline2D*>(obj)) {
                ++r.Polylines;
                r.TotalPoints += own;
            } else if (dynamic_cast<const TBSpline2D*>(obj)) {
                ++r.Splines;
                r.TotalPoints += own;
            } else if (dynamic_cast<const TContainer2D*>(obj) || dynamic_cast<const TBlock2D*>(obj)) {
                ++r.Containers;
            } else if (dynamic_cast<const TJustifiedVectText2D*>(obj)) {
                ++r.Texts;
            }
        }
    }
    // The extents of an empty drawing are zero, not whatever the box held before.
    if (Drawing.ObjectsCount() > 0)
        Drawing.GetExtents(r.Extents);
    return r;
}

TSmallEntities FindSmallEntities(TQV_01Cmp2D& Drawing, double Threshold)
{
    TSmallEntities small;
    TGraphicObjIterator it = Drawing.ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        const auto* o2 = dynamic_cast<const TObject2D*>(obj);
        if (!o2 || dynamic_cast<const TPunto2D*>(obj))
            continue;
        const TRect2D& b = o2->Box;
        const double w = std::abs(b.Second.X - b.First.X), h = std::abs(b.Second.Y - b.First.Y);
        if (w < Threshold && h < Threshold) {
            small.IDs.push_back(obj->ID);
            small.Centres.push_back({(b.First.X + b.Second.X) / 2, (b.First.Y + b.Second.Y) / 2});
        }
    }
    return small;
}

std::vector<TVector2D> EntityEndPoints(TQV_01Cmp2D& Drawing)
{
    std::vector<TVector2D> ends;
    TGraphicObjIterator it = Drawing.ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        auto* o2 = dynamic_cast<TObject2D*>(obj);
        if (!o2 || !obj->Visible || !Drawing.Layers.GetLayer(obj->Layer).Visible)
            continue;
        const TEntXCatena e = TEntXCatena::Create(*o2);
        if (!e.Chainable())
            continue;
        ends.push_back(e.StartPoint);
        ends.push_back(e.EndPoint);
    }
    return ends;
}
