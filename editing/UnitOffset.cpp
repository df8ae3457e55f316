#include "UnitOffset.h"

#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVIntersect.h"
#include "QVSplines.h"
#include "UnitCatena.h"
#include "UnitCurva.h"
#include "UnitIntPath.h"

#include <algorithm>
#include <cmath>

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

namespace {

constexpr int32_t OffsetColor = 0x0000FF; // red
constexpr uint8_t OffsetLineWidth = 2;

TPoint2D P2(const TVector2D& V)
{
    return {V.X, V.Y, 1};
}

// The library's rounding of offset points: halves away from zero.
cInt Round(double V)
{
    return static_cast<cInt>(std::llround(V));
}

struct TNormal {
    double X = 0, Y = 0;
};

// The unit normal on the right of the way from A to B, as the library takes it.
TNormal UnitNormal(const IntPoint& A, const IntPoint& B)
{
    const double dx = static_cast<double>(B.X - A.X), dy = static_cast<double>(B.Y - A.Y);
    if (dx == 0 && dy == 0)
        return {};
    const double f = 1 / std::sqrt(dx * dx + dy * dy);
    return {dy * f, -dx * f};
}

void EmitPolyline(const TACurva& Curve, TOffsetResults& Results)
{
    if (Curve.Vertices.empty())
        return;
    std::vector<TPoint2D> points;
    points.reserve(Curve.Vertices.size());
    for (const TAVertice& v : Curve.Vertices)
        points.push_back(P2(v.Point));
    Results.push_back(
        std::make_unique<TPolyline2D>(-1, points, OffsetColor, OffsetLineWidth, IdentityMatrix));
}

void MakeLineOffset(const TLine2D& L, double Distance, bool Side, TOffsetResults& Results)
{
    const auto& p = L.Points().Points();
    if (p.size() < 2)
        return;
    const TVector2D p1 = ObjectPointToWorld(p[0], L), p2 = ObjectPointToWorld(p[1], L);
    const double len = VectorDistance2D(p1, p2);
    // A line of no length has no direction to offset across.
    if (!(len > 0))
        return;
    const TVector2D d{(p2.X - p1.X) / len, (p2.Y - p1.Y) / len};
    const TVector2D n = Side ? TVector2D{d.Y, -d.X} : TVector2D{-d.Y, d.X};
    Results.push_back(std::make_unique<TLine2D>(-1, TPoint2D{p1.X + n.X * Distance, p1.Y + n.Y * Distance, 1},
                                                TPoint2D{p2.X + n.X * Distance, p2.Y + n.Y * Distance, 1},
                                                OffsetColor, OffsetLineWidth, IdentityMatrix));
}

void MakeArcOffset(const TArco2D& A, double Distance, bool Side, TOffsetResults& Results)
{
    TArcInfo2D info;
    A.GetArcInfo2D(info);
    const double r = Side ? info.Radius + Distance : info.Radius - Distance;
    // An arc offset inwards by its radius or more has no arc left.
    if (!(r > 0))
        return;
    auto arc = std::make_unique<TArco2D>(-1, info.Center, TPoint2D{info.Center.X + r, info.Center.Y, 1},
                                         info.StartAngle, info.EndAngle, OffsetColor, OffsetLineWidth,
                                         IdentityMatrix);
    if (!A.HasTransform())
        arc->SetDirection(A.Direction());
    Results.push_back(std::move(arc));
}

void MakeCircleOffset(const TCerchio2D& K, double Distance, bool Side, TOffsetResults& Results)
{
    const auto& p = K.Points().Points();
    if (p.size() < 2)
        return;
    const TVector2D c = ObjectPointToWorld(p[0], K), q = ObjectPointToWorld(p[1], K);
    const double r0 = VectorDistance2D(c, q);
    const double r = Side ? r0 + Distance : r0 - Distance;
    if (!(r > 0))
        return;
    Results.push_back(std::make_unique<TCerchio2D>(-1, P2(c), TPoint2D{c.X + r, c.Y, 1}, OffsetColor,
                                                   OffsetLineWidth, IdentityMatrix));
}

void MakeFrameOffset(const TFrame2D& F, double Distance, bool Side, TOffsetResults& Results)
{
    TACurva chain;
    AddFrameToChain(F, false, chain);
    if (chain.Vertices.empty())
        return;
    // The outline starts and ends at the last corner.
    chain.Vertices.insert(chain.Vertices.begin(), TAVertice::CreatePoint(chain.Vertices.back().Point, 0));
    OffsetClosedChain(chain, Distance, Side, Results);
}

void MakeOutlineOffset(TOutline2D& P, double Distance, bool Side, TOffsetResults& Results)
{
    TACurva chain;
    {
        TProfileUse use(P);
        const TPointsSet2D* points = P.GetProfilePoints();
        if (!points || P.GetProfileCount() < 1)
            return;
        chain.AddVertex(TAVertice::CreatePoint(ObjectPointToWorld(points->Points()[0], P), 0));
    }
    if (dynamic_cast<TPolyline2D*>(&P))
        AddPolylineToChain(P, false, chain);
    else
        AddCurveToChain(P, false, chain);
    if (P.IsClosed())
        OffsetClosedChain(chain, Distance, Side, Results);
    else
        OffsetOpenChain(chain, Distance, Side, Results);
}

} // namespace

TOffsetResults MakeOffset(TObject2D& Obj, double Distance, bool Side)
{
    TOffsetResults results;
    if (!std::isfinite(Distance))
        return results;
    if (auto* line = dynamic_cast<TLine2D*>(&Obj))
        MakeLineOffset(*line, Distance, Side, results);
    else if (auto* arc = dynamic_cast<TArco2D*>(&Obj))
        MakeArcOffset(*arc, Distance, Side, results);
    else if (auto* circle = dynamic_cast<TCerchio2D*>(&Obj))
        MakeCircleOffset(*circle, Distance, Side, results);
    else if (auto* frame = dynamic_cast<TFrame2D*>(&Obj))
        MakeFrameOffset(*frame, Distance, Side, results);
    else if (auto* outline = dynamic_cast<TOutline2D*>(&Obj))
        MakeOutlineOffset(*outline, Distance, Side, results);
    return results;
}

void OffsetClosedChain(TACurva& Chain, double Distance, bool Side, TOffsetResults& Results)
{
    // The chain is closed by construction; orientation decides which side grows.
    Chain.Closed = true;
    if (Chain.IsClockwise())
        Chain.Reverse();
    Path path;
    CurveToPath(Chain, false, path);
    if (path.empty())
        return;
    const double delta = Side ? -Distance : Distance;
    ClipperLib::ClipperOffset offsetter(10 * delta, 0.25);
    offsetter.AddPath(path, ClipperLib::jtMiter, ClipperLib::etClosedPolygon);
    Paths solution;
    offsetter.Execute(solution, static_cast<double>(ToIntCoord(delta)));
    for (const Path& p : solution) {
        TACurva curve;
        PathToClosedCurve(curve, p, false, true);
        EmitPolyline(curve, Results);
    }
}

void OffsetOpenChain(const TACurva& Chain, double Distance, bool Side, TOffsetResults& Results)
{
    Path path;
    CurveToPath(Chain, false, path);
    if (path.empty())
        return;
    const double delta = Side ? -Distance : Distance;
    TQVClipperOffset offsetter(10 * delta);
    offsetter.AddPath(path);
    Paths solution;
    offsetter.ExecuteRaw(solution, static_cast<double>(ToIntCoord(delta)));
    for (const Path& p : solution) {
        TACurva curve;
        PathToOpenCurve(curve, p, false);
        EmitPolyline(curve, Results);
    }
}

// ---- the one-sided offsetter --------------------------------------------------------------------

void TQVClipperOffset::AddPath(const Path& P)
{
    // Repeated points carry no direction: dropped as the library drops them.
    Path clean;
    clean.reserve(P.size());
    for (const IntPoint& q : P)
        if (clean.empty() || !(clean.back() == q))
            clean.push_back(q);
    Inputs.push_back(std::move(clean));
}

void TQVClipperOffset::ExecuteRaw(Paths& Solution, double Delta)
{
    Solution.clear();
    for (const Path& p : Inputs)
        Solution.push_back(CutLoops(DoOffset(p, Delta)));
}

Path TQVClipperOffset::DoOffset(const Path& P, double Delta) const
{
    Path out;
    const size_t n = P.size();
    if (n < 2)
        return out;
    std::vector<TNormal> normals(n);
    for (size_t j = 0; j + 1 < n; ++j)
        normals[j] = UnitNormal(P[j], P[j + 1]);
    normals[n - 1] = normals[n - 2];
    // The library's miter limit: a ratio of at most 2 acts as 2.
    const double miterLim = MiterLimit > 2 ? 2 / (MiterLimit * MiterLimit) : 0.5;
    const auto at = [&](size_t j, const TNormal& nm, double f) {
        return IntPoint(Round(static_cast<double>(P[j].X) + nm.X * f),
                        Round(static_cast<double>(P[j].Y) + nm.Y * f));
    };
    out.push_back(at(0, normals[0], Delta));
    size_t k = 0;
    for (size_t j = 1; j + 1 < n; ++j) {
        const TNormal& nk = normals[k];
        const TNormal& nj = normals[j];
        double sinA = nk.X * nj.Y - nj.X * nk.Y;
        const double cosA = nk.X * nj.X + nk.Y * nj.Y;
        bool done = false;
        if (std::fabs(sinA * Delta) < 1.0) {
            if (cosA > 0) { // nearly straight on: one point
                out.push_back(at(j, nk, Delta));
                done = true;
            }
        } else {
            sinA = std::clamp(sinA, -1.0, 1.0);
        }
        if (!done) {
            if (sinA * Delta < 0) { // concave: a loop that CutLoops removes
                out.push_back(at(j, nk, Delta));
                out.push_back(P[j]);
                out.push_back(at(j, nj, Delta));
            } else {
                const double r = 1 + cosA;
                if (r >= miterLim) {
                    const double q = Delta / r;
                    out.push_back(IntPoint(Round(static_cast<double>(P[j].X) + (nk.X + nj.X) * q),
                                           Round(static_cast<double>(P[j].Y) + (nk.Y + nj.Y) * q)));
                } else {
                    const double dx = std::tan(std::atan2(sinA, cosA) / 4);
                    out.push_back(IntPoint(Round(static_cast<double>(P[j].X) + Delta * (nk.X - nk.Y * dx)),
                                           Round(static_cast<double>(P[j].Y) + Delta * (nk.Y + nk.X * dx))));
                    out.push_back(IntPoint(Round(static_cast<double>(P[j].X) + Delta * (nj.X + nj.Y * dx)),
                                           Round(static_cast<double>(P[j].Y) + Delta * (nj.Y - nj.X * dx))));
                }
            }
        }
        k = j;
    }
    out.push_back(at(n - 1, normals[n - 1], Delta));
    return out;
}

Path TQVClipperOffset::CutLoops(Path S)
{
    Path out;
    if (S.size() < 2)
        return out;
    const auto v = [](const IntPoint& p) {
        return TVector2D{static_cast<double>(p.X), static_cast<double>(p.Y)};
    };
    const size_t last = S.size() - 1;
    size_t pos = 1;
    while (pos <= last) {
        const IntPoint a = S[pos - 1], b = S[pos];
        // The last later segment that AB crosses closes the widest loop.
        size_t hit = 0;
        TVector2D x;
        for (size_t i = last; i > pos; --i) {
            TVector2D r;
            if (SegmentsIntersect(v(a), v(b), v(S[i - 1]), v(S[i]), r)) {
                hit = i;
                x = r;
                break;
            }
        }
        if (out.empty())
            out.push_back(a);
        if (hit) {
            const IntPoint xr(Round(x.X), Round(x.Y));
            out.push_back(xr);
            S[hit - 1] = xr;
            pos = hit;
        } else {
            out.push_back(b);
            ++pos;
        }
    }
    return out;
}
