#include "QVFiltraArchi.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVGeometry.h"
#include "QVList.h"
#include "UnitCurva.h"

#include <optional>
#include <utility>

TFiltraInArchi::TFiltraInArchi(TQV_01Cmp2D& Drawing, bool Preview, TPreviewTarget* PreviewTarget)
    : Preview(Preview), Drawing(Drawing), Target(PreviewTarget)
{
}

bool TFiltraInArchi::SetParams(std::string_view Tolerance, std::string_view Minimum, std::string_view Maximum)
{
    ParamsSet = false;
    const std::pair<std::string_view, double*> fields[] = {
        {Tolerance, &this->Tolerance}, {Minimum, &this->Minimum}, {Maximum, &this->Maximum}};
    for (const auto& [text, field] : fields) {
        const std::optional<double> v = ParseNumberOrReport(text);
        if (!v)
            return false;
        *field = *v;
    }
    ParamsSet = true;
    return true;
}

void TFiltraInArchi::Execute(TGraphicObjIterator It)
{
    RASTREL_ASSERT(ParamsSet);
    // The area imposes the filter's tolerance on the fitting and gives the previous one back
    // when the run ends, however it ends: later offsets and conversions must not inherit it.
    TArea area(Tolerance);
    {
        // Released before the results are added, since it may walk the drawing's own list.
        TGraphicObjIterator it = std::move(It);
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
            const auto* polyline = dynamic_cast<const TPolyline2D*>(obj);
            if (!polyline || !obj->Visible || !Drawing.Layers.GetLayer(obj->Layer).Visible)
                continue;
            if (std::unique_ptr<TACurva> curve = PolylineToCurve(*polyline))
                area.AddCurve(std::move(curve));
        }
    }
    for (const std::unique_ptr<TACurva>& curve : area.Curves)
        curve->AddToDrawing(Drawing, Preview, Target, LineCount, ArcCount);
}

std::unique_ptr<TACurva> TFiltraInArchi::PolylineToCurve(const TPolyline2D& P)
{
    const std::span<const TPoint2D> points = P.Points().Points();
    PointsRead += static_cast<int32_t>(points.size());
    if (points.size() < 2)
        return nullptr;
    TMatrix4 m = P.GetModelTransform();
    if (Matrix)
        m.Multiply(m, *Matrix);
    const bool moved = !m.IsEqual(IdentityMatrix);
    auto curve = std::make_unique<TACurva>();
    curve->Vertices.reserve(points.size() + 1);
    for (const TPoint2D& p : points) {
        const TPoint2D q = moved ? m.TransformPoint2D(p) : p;
        curve->AddVertex(TAVertice::CreatePoint({q.X, q.Y}, 0));
    }
    // A polygon's closing side is implicit in its points; the curve needs it as an element.
    if (dynamic_cast<const TPolygon2D*>(&P) && !IsSamePoint(curve->Vertices.front().Point, curve->Vertices.back().Point))
        curve->AddVertex(curve->Vertices.front());
    if (IsSamePoint(curve->Vertices.front().Point, curve->Vertices.back().Point))
        curve->Closed = true;
    if (curve->IsClockwise())
        curve->Reverse();
    curve->FitArcs(Maximum);
    return curve;
}
