// Curves written out as drawing entities, for real or as a preview.
#include "UnitCurva.h"

#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVMatrix.h"
#include "QVPreview.h"

#include <memory>

namespace {

// The element from P to V as an entity; arcs always run counter-clockwise in the drawing, so a
// clockwise one runs from V's point back to P.
std::unique_ptr<TObject2D> MakeEntity(const TVector2D& P, const TAVertice& V, bool Preview)
{
    const TPoint2D p = VectorToPoint2D(P), q = VectorToPoint2D(V.Point);
    if (V.Kind == 0) {
        if (Preview)
            return std::make_unique<TLine2D>(-1, p, q, PreviewLineColor, PreviewLineWidth, IdentityMatrix);
        return std::make_unique<TLine2D>(-1, p, q);
    }
    const TPoint2D centre = VectorToPoint2D(V.Centre);
    const double toP = PointsAngleSigned(V.Centre, P), toV = PointsAngleSigned(V.Centre, V.Point);
    const double start = V.Kind == 1 ? toP : toV, end = V.Kind == 1 ? toV : toP;
    if (Preview)
        return std::make_unique<TArco2D>(-1, centre, q, start, end, PreviewArcColor, PreviewLineWidth, IdentityMatrix);
    return std::make_unique<TArco2D>(-1, centre, q, start, end);
}

}  // namespace

void TACurva::AddToDrawing(TQV_01Cmp2D& Drawing, bool Preview, TPreviewTarget* PreviewTarget, int32_t& Lines,
                           int32_t& Arcs) const
{
    if (Vertices.size() < 2)
        return;
    for (size_t i = 1; i < Vertices.size(); ++i) {
        const TAVertice& v = Vertices[i];
        std::unique_ptr<TObject2D> entity = MakeEntity(Vertices[i - 1].Point, v, Preview);
        if (Preview) {
            entity->Layer = static_cast<uint8_t>(Drawing.CurrentLayer & 0xFF);
            if (PreviewTarget)
                PreviewTarget->AddPreview(std::move(entity));
        } else {
            Drawing.AddObject(-1, std::move(entity));
        }
        ++(v.Kind == 0 ? Lines : Arcs);
    }
}
