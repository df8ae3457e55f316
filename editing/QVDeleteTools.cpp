// Delete and polyline simplification.
#include "QVDeleteTools.h"

#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVScene.h"
#include "QVTasks.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <utility>

void DeleteObjects(TQV_01Cmp2D& Drawing, const std::vector<TObject2D*>& Objects)
{
    TTreeUpdate update(Drawing.TreeGeo);
    for (TObject2D* o : Objects) {
        if (dynamic_cast<TBitmap2D*>(o))
            continue;
        if (UndoRedo)
            TUndoRecord(TUndoKind::Delete).Removed(*o).Push(*UndoRedo);
        Drawing.DeleteObject(o->ID);
    }
}

TMyCancella::TMyCancella(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    const std::vector<TObject2D*> selected = SelectedObjectsOf(Param);
    TQV_01Cmp2D* drawing = DrawingOf(CADPrg);
    if (drawing && !selected.empty()) {
        // Nothing that goes may stay on the overlay.
        if (TQVScene* view = CADPrg.ViewPort())
            view->ResetOverlay();
        TEventsLock lock(CADPrg);
        DeleteObjects(*drawing, selected);
        CADPrg.RepaintAfterOperation();
    }
    Cancel(NextState);
}

// ---- simplification ----

std::vector<TVector2D> SimplifyPoints(std::span<const TVector2D> Pts, double Tol)
{
    const size_t m = Pts.size();
    if (m < 2)
        return {};
    const double tolSq = Tol * Tol;
    std::vector<bool> keep(m, false);
    keep[0] = keep[m - 1] = true;
    // Spans (first, last) still to look at.
    std::vector<std::pair<size_t, size_t>> spans{{0, m - 1}};
    while (!spans.empty()) {
        const auto [i, j] = spans.back();
        spans.pop_back();
        if (i + 1 >= j)
            continue;
        const TVector2D a = Pts[i];
        const double ux = Pts[j].X - a.X, uy = Pts[j].Y - a.Y;
        const double l2 = ux * ux + uy * uy;
        double best = 0;
        size_t k = i;
        for (size_t n = i + 1; n < j; ++n) {
            const double px = Pts[n].X - a.X, py = Pts[n].Y - a.Y;
            const double t = px * ux + py * uy;
            double fx = 0, fy = 0; // the foot, relative to a
            if (t > l2) {
                fx = ux;
                fy = uy;
            } else if (t > 0) {
                fx = ux * (t / l2);
                fy = uy * (t / l2);
            }
            const double d = (px - fx) * (px - fx) + (py - fy) * (py - fy);
            if (d > best) {
                best = d;
                k = n;
            }
        }
        if (best > tolSq) {
            keep[k] = true;
            spans.emplace_back(k, j);
            spans.emplace_back(i, k);
        }
    }
    std::vector<TVector2D> out;
    for (size_t n = 0; n < m; ++n)
        if (keep[n])
            out.push_back(Pts[n]);
    return out;
}

std::unique_ptr<TPolyline2D> SimplifyPolyline(TPolyline2D& P, double Tol)
{
    const TMatrix4 m = P.GetModelTransform();
    std::vector<TVector2D> pts;
    pts.reserve(size_t(P.Points().Count()));
    for (const TPoint2D& q : P.Points().Points()) {
        const TPoint2D w = m.TransformPoint2D(q);
        pts.push_back({w.X, w.Y});
    }
    std::vector<TPoint2D> kept;
    for (const TVector2D& v : SimplifyPoints(pts, Tol))
        kept.push_back({v.X, v.Y, 1});
    return std::make_unique<TPolyline2D>(-1, kept);
}

TMyRiducePoly::TMyRiducePoly(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    TQV_01Cmp2D* drawing = DrawingOf(CADPrg);
    std::vector<std::pair<TPolyline2D*, TPolyline2D*>> pairs;
    const double tolerance = InfoEdit ? InfoEdit->GetValue(0) : 0;
    if (drawing) {
        TEventsLock lock(CADPrg);
        for (TObject2D* o : SelectedObjectsOf(Param)) {
            auto* poly = dynamic_cast<TPolyline2D*>(o);
            if (!poly || poly->Points().Count() < 2)
                continue;
            std::unique_ptr<TPolyline2D> s = SimplifyPolyline(*poly, tolerance);
            BeforeCount += poly->Points().Count();
            AfterCount += s->Points().Count();
            TPolyline2D* added = drawing->AddObjectToLayer(-1, poly->Layer, std::move(s));
            pairs.emplace_back(poly, added);
        }
    }
    Cancel(NextState);
    if (!pairs.empty()) {
        if (TQVScene* view = CADPrg.ViewPort())
            view->ResetOverlay();
        if (UndoRedo) {
            TUndoRecord record(TUndoKind::Simplify);
            for (const auto& [old, made] : pairs)
                record.Replaced(*old, *made);
            record.Push(*UndoRedo);
        }
        TTreeUpdate update(drawing->TreeGeo);
        for (const auto& [old, made] : pairs)
            drawing->DeleteObject(old->ID);
        CADPrg.RepaintAfterOperation();
    }
    if (InfoEdit)
        InfoEdit->ShowCounts(BeforeCount, AfterCount);
}
