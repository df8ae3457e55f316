#include "EditGeometry.h"

#include "QVGeometry.h"
#include "QVIntersect.h"
#include "QVMatrix.h"
#include "QVVariabili.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double TwoPi = 2 * std::numbers::pi;

TVector2D Add(const TVector2D& A, const TVector2D& B)
{
    return {A.X + B.X, A.Y + B.Y};
}
TVector2D Sub(const TVector2D& A, const TVector2D& B)
{
    return {A.X - B.X, A.Y - B.Y};
}
TVector2D Scale(const TVector2D& V, double S)
{
    return {V.X * S, V.Y * S};
}
double Dot(const TVector2D& A, const TVector2D& B)
{
    return A.X * B.X + A.Y * B.Y;
}
double Cross(const TVector2D& A, const TVector2D& B)
{
    return A.X * B.Y - A.Y * B.X;
}
double Length(const TVector2D& V)
{
    return std::hypot(V.X, V.Y);
}
double Distance(const TVector2D& A, const TVector2D& B)
{
    return Length(Sub(A, B));
}
double Tol()
{
    return SystemTol();
}

// Angle into [0, 2 pi).
double Wrap(double A)
{
    A = std::fmod(A, TwoPi);
    if (A < 0)
        A += TwoPi;
    return A >= TwoPi ? 0 : A;
}

double AngleOf(const TVector2D& Centre, const TVector2D& P)
{
    return Wrap(std::atan2(P.Y - Centre.Y, P.X - Centre.X));
}

// An arc whose length is above the tolerance.
bool HasLength(const TEditArc& Arc)
{
    return Arc.Radius > Tol() && Arc.Sweep * Arc.Radius > Tol();
}

bool IsDegenerate(const TEditShape& S)
{
    return S.IsArc ? !(S.Arc.Radius > Tol()) : !(Distance(S.A, S.B) > Tol());
}

// The foot of P on the infinite line through A and B (A and B distinct).
TVector2D Foot(const TVector2D& A, const TVector2D& B, const TVector2D& P)
{
    const TVector2D u = Sub(B, A);
    return Add(A, Scale(u, Dot(Sub(P, A), u) / Dot(u, u)));
}

// The point of the arc's circle in the direction of P (P off the centre).
TVector2D Radial(const TEditArc& Arc, const TVector2D& P)
{
    const TVector2D d = Sub(P, Arc.Centre);
    return Add(Arc.Centre, Scale(d, Arc.Radius / Length(d)));
}

const TVector2D& Nearest(const std::vector<TVector2D>& Points, const TVector2D& P)
{
    size_t best = 0;
    for (size_t i = 1; i < Points.size(); ++i)
        if (Distance(Points[i], P) < Distance(Points[best], P))
            best = i;
    return Points[best];
}

// The fillet arc between tangent points T1 and T2 about C: the smaller turn between them.
TEditArc ArcBetween(const TVector2D& C, double Radius, const TVector2D& T1, const TVector2D& T2)
{
    const TVector2D v1 = Sub(T1, C), v2 = Sub(T2, C);
    const double sweep = AngleBetween(v1, v2);
    const double start = Cross(v1, v2) >= 0 ? AngleOf(C, T1) : AngleOf(C, T2);
    return {C, Radius, start, sweep};
}

TEditArc FullCircle(const TVector2D& C, double Radius)
{
    return {C, Radius, 0, TwoPi};
}

// The arc shortened to T where T lies on it: the part that holds the pick stays. A full circle,
// or a T off the arc, leaves it as it is.
TEditArc ArcEndTo(const TEditArc& Arc, const TVector2D& T, const TVector2D& Pick)
{
    if (IsFullCircle(Arc))
        return Arc;
    const double t = AngleFromStart(Arc, T);
    if (t >= Arc.Sweep)
        return Arc;
    TEditArc out = Arc;
    if (t <= AngleFromStart(Arc, Pick)) {
        out.Start = Wrap(Arc.Start + t);
        out.Sweep = Arc.Sweep - t;
    } else {
        out.Sweep = t;
    }
    return out;
}

bool LineChanged(const TEditShape& Old, const TVector2D& A, const TVector2D& B)
{
    return !IsSamePoint(Old.A, A) || !IsSamePoint(Old.B, B);
}

bool ArcChanged(const TEditArc& Old, const TEditArc& New)
{
    return std::fabs(Old.Start - New.Start) > 1e-12 || std::fabs(Old.Sweep - New.Sweep) > 1e-12;
}

// ---- the pair routines, lines first ----

TCornerResult CornerFault(TEditFault F)
{
    TCornerResult r;
    r.Fault = F;
    return r;
}

// Fills a line of the result, refusing one of no length.
bool SetLine(TEditShape& Out, bool& Changed, const TEditShape& Old, const TVector2D& A, const TVector2D& B)
{
    if (!(Distance(A, B) > Tol()))
        return false;
    Changed = LineChanged(Old, A, B);
    Out = TEditShape::Line(A, B);
    return true;
}

// The line with the end that MoveLineEnd chooses moved to T.
bool MoveLineTo(TEditShape& Out, bool& Changed, const TEditShape& Old, const TVector2D& T,
                const TVector2D& Pick, const TVector2D& Side)
{
    TVector2D a = Old.A, b = Old.B;
    MoveLineEnd(a, b, T, Pick, Side);
    return SetLine(Out, Changed, Old, a, b);
}

bool SetArc(TEditShape& Out, bool& Changed, const TEditShape& Old, const TEditArc& Arc)
{
    if (!HasLength(Arc))
        return false;
    Changed = ArcChanged(Old.Arc, Arc);
    Out = TEditShape::OfArc(Arc);
    return true;
}

TCornerResult FilletLines(const TEditShape& L1, const TEditShape& L2, const TVector2D& P1,
                          const TVector2D& P2, double R, bool Construct)
{
    const TVector2D u1 = Sub(L1.B, L1.A), u2 = Sub(L2.B, L2.A);
    const double n1 = Length(u1), n2 = Length(u2);
    const double det = Cross(u1, u2);
    if (std::fabs(det) <= 1e-12 * n1 * n2)
        return CornerFault(TEditFault::Parallel);
    // Each line moves by R towards the pick on the other entity.
    const double d1 = Cross(u1, Sub(P2, L1.A)) / n1;
    const double d2 = Cross(u2, Sub(P1, L2.A)) / n2;
    if (std::fabs(d1) <= Tol() || std::fabs(d2) <= Tol())
        return CornerFault(TEditFault::PickOnEntity);
    const TVector2D a1 = Add(L1.A, Scale(PerpLeft(u1), (d1 > 0 ? R : -R) / n1));
    const TVector2D a2 = Add(L2.A, Scale(PerpLeft(u2), (d2 > 0 ? R : -R) / n2));
    const TVector2D c = Add(a1, Scale(u1, Cross(Sub(a2, a1), u2) / det));
    TCornerResult r;
    r.First = L1;
    r.Second = L2;
    if (Construct) {
        r.Arc = FullCircle(c, R);
        return r;
    }
    const TVector2D t1 = Foot(L1.A, L1.B, c), t2 = Foot(L2.A, L2.B, c);
    r.Arc = ArcBetween(c, R, t1, t2);
    // The arm picked is the one on the pick's side of the corner: a pick between the corner and
    // the tangent point still chooses its own arm, not the one beyond the corner.
    const TVector2D corner = Add(L1.A, Scale(u1, Cross(Sub(L2.A, L1.A), u2) / det));
    if (!MoveLineTo(r.First, r.FirstChanged, L1, t1, P1, corner) ||
        !MoveLineTo(r.Second, r.SecondChanged, L2, t2, P2, corner) || !HasLength(r.Arc))
        return CornerFault(TEditFault::TooShort);
    return r;
}

// PL picks the line, PA the arc.
TCornerResult FilletLineArc(const TEditShape& L, const TEditShape& A, const TVector2D& PL,
                            const TVector2D& PA, double R, bool Construct)
{
    const TVector2D u = Sub(L.B, L.A);
    const double s = Cross(u, Sub(PA, L.A)) < 0 ? -R : R;
    const TVector2D shift = Scale(PerpLeft(u), s / Length(u));
    TEditArc offset = A.Arc;
    offset.Radius += CircleSide(A.Arc.Centre, PL, A.Arc.Radius) < 0 ? -R : R;
    if (!(offset.Radius > Tol()))
        return CornerFault(TEditFault::NoCentre);
    std::vector<TVector2D> centres;
    IntersectObjectArc(Add(L.A, shift), Add(L.B, shift), AsIntersectArc(offset), centres);
    if (centres.empty())
        return CornerFault(TEditFault::NoCentre);
    const TVector2D c = Nearest(centres, PL);
    TCornerResult r;
    r.First = L;
    r.Second = A;
    if (Construct) {
        r.Arc = FullCircle(c, R);
        return r;
    }
    const TVector2D tl = Foot(L.A, L.B, c), ta = Radial(A.Arc, c);
    r.Arc = ArcBetween(c, R, tl, ta);
    if (!MoveLineTo(r.First, r.FirstChanged, L, tl, PL, tl) ||
        !SetArc(r.Second, r.SecondChanged, A, ArcEndTo(A.Arc, ta, PA)) || !HasLength(r.Arc))
        return CornerFault(TEditFault::TooShort);
    return r;
}

TCornerResult FilletArcs(const TEditShape& A1, const TEditShape& A2, const TVector2D& P1, const TVector2D& P2,
                         double R, bool Construct)
{
    TEditArc o1 = A1.Arc, o2 = A2.Arc;
    o1.Radius += CircleSide(A1.Arc.Centre, P2, A1.Arc.Radius) < 0 ? -R : R;
    o2.Radius += CircleSide(A2.Arc.Centre, P1, A2.Arc.Radius) < 0 ? -R : R;
    if (!(o1.Radius > Tol()) || !(o2.Radius > Tol()))
        return CornerFault(TEditFault::NoCentre);
    std::vector<TVector2D> centres;
    IntersectCircles(AsIntersectArc(o1), AsIntersectArc(o2), centres);
    if (centres.empty())
        return CornerFault(TEditFault::NoCentre);
    const TVector2D c = Nearest(centres, P1);
    TCornerResult r;
    r.First = A1;
    r.Second = A2;
    if (Construct) {
        r.Arc = FullCircle(c, R);
        return r;
    }
    const TVector2D t1 = Radial(A1.Arc, c), t2 = Radial(A2.Arc, c);
    r.Arc = ArcBetween(c, R, t1, t2);
    if (!SetArc(r.First, r.FirstChanged, A1, ArcEndTo(A1.Arc, t1, P1)) ||
        !SetArc(r.Second, r.SecondChanged, A2, ArcEndTo(A2.Arc, t2, P2)) || !HasLength(r.Arc))
        return CornerFault(TEditFault::TooShort);
    return r;
}

TCornerResult TrimLines(const TEditShape& L1, const TEditShape& L2, const TVector2D& P1, const TVector2D& P2)
{
    const TVector2D u1 = Sub(L1.B, L1.A), u2 = Sub(L2.B, L2.A);
    const double det = Cross(u1, u2);
    if (std::fabs(det) <= 1e-12 * Length(u1) * Length(u2))
        return CornerFault(TEditFault::Parallel);
    const TVector2D x = Add(L1.A, Scale(u1, Cross(Sub(L2.A, L1.A), u2) / det));
    TCornerResult r;
    if (!MoveLineTo(r.First, r.FirstChanged, L1, x, P1, x) ||
        !MoveLineTo(r.Second, r.SecondChanged, L2, x, P2, x))
        return CornerFault(TEditFault::TooShort);
    return r;
}

TCornerResult TrimLineArc(const TEditShape& L, const TEditShape& A, const TVector2D& PL, const TVector2D& PA)
{
    std::vector<TVector2D> xs;
    IntersectObjectArc(L.A, L.B, AsIntersectArc(A.Arc), xs);
    if (xs.empty())
        return CornerFault(TEditFault::NoCrossing);
    const TVector2D x = Nearest(xs, PA);
    TCornerResult r;
    if (!MoveLineTo(r.First, r.FirstChanged, L, x, PL, x) ||
        !SetArc(r.Second, r.SecondChanged, A, ArcEndTo(A.Arc, x, PA)))
        return CornerFault(TEditFault::TooShort);
    return r;
}

TCornerResult TrimArcs(const TEditShape& A1, const TEditShape& A2, const TVector2D& P1, const TVector2D& P2)
{
    std::vector<TVector2D> xs;
    IntersectArcs(AsIntersectArc(A1.Arc), AsIntersectArc(A2.Arc), xs);
    if (xs.empty())
        return CornerFault(TEditFault::NoCrossing);
    const TVector2D x = Nearest(xs, P1);
    TCornerResult r;
    if (!SetArc(r.First, r.FirstChanged, A1, ArcEndTo(A1.Arc, x, P1)) ||
        !SetArc(r.Second, r.SecondChanged, A2, ArcEndTo(A2.Arc, x, P2)))
        return CornerFault(TEditFault::TooShort);
    return r;
}

// Runs a line-arc routine on an arc-line pair: the picks and the results change places.
template <class F>
TCornerResult Swapped(F Routine, const TEditShape& S1, const TEditShape& S2, const TVector2D& P1,
                      const TVector2D& P2)
{
    TCornerResult r = Routine(S2, S1, P2, P1);
    std::swap(r.First, r.Second);
    std::swap(r.FirstChanged, r.SecondChanged);
    return r;
}

} // namespace

TEditShape TEditShape::Line(const TVector2D& A, const TVector2D& B)
{
    TEditShape s;
    s.A = A;
    s.B = B;
    return s;
}

TEditShape TEditShape::OfArc(const TEditArc& Arc)
{
    TEditShape s;
    s.IsArc = true;
    s.Arc = Arc;
    return s;
}

const char* EditFaultKey(TEditFault Fault)
{
    switch (Fault) {
    case TEditFault::None:
        return "";
    case TEditFault::ZeroRadius:
        return "EditZeroRadius";
    case TEditFault::Degenerate:
        return "EditDegenerate";
    case TEditFault::Parallel:
        return "EditParallel";
    case TEditFault::PickOnEntity:
        return "EditPickOnEntity";
    case TEditFault::NoCentre:
        return "EditNoCentre";
    case TEditFault::NoCrossing:
        return "EditNoCrossing";
    case TEditFault::TooShort:
        return "EditTooShort";
    case TEditFault::NotCollinear:
        return "461";
    case TEditFault::NotConcentric:
        return "462";
    case TEditFault::FullCircle:
        return "EditFullCircle";
    case TEditFault::Closed:
        return "EditClosed";
    case TEditFault::ZeroLength:
        return "EditZeroLength";
    case TEditFault::Concentric:
        return "EditConcentric";
    case TEditFault::NoTangent:
        return "EditNoTangent";
    case TEditFault::PickAtCentre:
        return "EditPickAtCentre";
    }
    return "";
}

TVector2D ArcPoint(const TEditArc& Arc, double Angle)
{
    return {Arc.Centre.X + Arc.Radius * std::cos(Angle), Arc.Centre.Y + Arc.Radius * std::sin(Angle)};
}

TVector2D ArcStartPoint(const TEditArc& Arc)
{
    return ArcPoint(Arc, Arc.Start);
}
TVector2D ArcEndPoint(const TEditArc& Arc)
{
    return ArcPoint(Arc, Arc.Start + Arc.Sweep);
}
bool IsFullCircle(const TEditArc& Arc)
{
    return Arc.Sweep >= TwoPi - 1e-12;
}

TEditArc ArcFromEnds(const TVector2D& Centre, double Radius, const TVector2D& S, const TVector2D& E)
{
    const double start = AngleOf(Centre, S);
    double sweep = Wrap(AngleOf(Centre, E) - start);
    if (sweep * Radius <= Tol() || IsSamePoint(S, E))
        sweep = TwoPi;
    return {Centre, Radius, start, sweep};
}

TIntersectArc AsIntersectArc(const TEditArc& Arc)
{
    const TVector2D s = ArcStartPoint(Arc);
    return {s, IsFullCircle(Arc) ? s : ArcEndPoint(Arc), Arc.Centre, Arc.Radius};
}

double AngleFromStart(const TEditArc& Arc, const TVector2D& P)
{
    return Wrap(AngleOf(Arc.Centre, P) - Arc.Start);
}

double ShapeLength(const TEditShape& Shape)
{
    return Shape.IsArc ? Shape.Arc.Radius * Shape.Arc.Sweep : Distance(Shape.A, Shape.B);
}

void MoveLineEnd(TVector2D& A, TVector2D& B, const TVector2D& T, const TVector2D& Pick, const TVector2D& Side)
{
    const TVector2D r = NearestOnSegment(A, B, Pick);
    // T at an end moves that end; otherwise the end away from the pick's side of Side.
    const bool moveA = IsSamePoint(T, A) || (!IsSamePoint(T, B) && Dot(Sub(r, Side), Sub(B, A)) > 0);
    (moveA ? A : B) = T;
}

TCornerResult Fillet(const TEditShape& First, const TEditShape& Second, const TVector2D& Pick1,
                     const TVector2D& Pick2, double Radius, bool Construct)
{
    if (!(Radius > Tol()))
        return CornerFault(TEditFault::ZeroRadius);
    if (IsDegenerate(First) || IsDegenerate(Second))
        return CornerFault(TEditFault::Degenerate);
    const auto lineArc = [Radius, Construct](const TEditShape& L, const TEditShape& A, const TVector2D& PL,
                                             const TVector2D& PA) {
        return FilletLineArc(L, A, PL, PA, Radius, Construct);
    };
    if (!First.IsArc && !Second.IsArc)
        return FilletLines(First, Second, Pick1, Pick2, Radius, Construct);
    if (!First.IsArc)
        return lineArc(First, Second, Pick1, Pick2);
    if (!Second.IsArc)
        return Swapped(lineArc, First, Second, Pick1, Pick2);
    return FilletArcs(First, Second, Pick1, Pick2, Radius, Construct);
}

TCornerResult Trim(const TEditShape& First, const TEditShape& Second, const TVector2D& Pick1,
                   const TVector2D& Pick2)
{
    if (IsDegenerate(First) || IsDegenerate(Second))
        return CornerFault(TEditFault::Degenerate);
    if (!First.IsArc && !Second.IsArc)
        return TrimLines(First, Second, Pick1, Pick2);
    if (!First.IsArc)
        return TrimLineArc(First, Second, Pick1, Pick2);
    if (!Second.IsArc)
        return Swapped(TrimLineArc, First, Second, Pick1, Pick2);
    return TrimArcs(First, Second, Pick1, Pick2);
}

// ---- break ----

std::vector<TVector2D> ShapeCrossings(const TEditShape& S1, const TEditShape& S2)
{
    std::vector<TVector2D> xs;
    if (IsDegenerate(S1) || IsDegenerate(S2))
        return xs;
    if (!S1.IsArc && !S2.IsArc) {
        TVector2D x;
        if (SegmentsIntersect(S1.A, S1.B, S2.A, S2.B, x))
            xs.push_back(x);
    } else if (!S1.IsArc) {
        IntersectLineArc(S1.A, S1.B, AsIntersectArc(S2.Arc), xs);
    } else if (!S2.IsArc) {
        IntersectLineArc(S2.A, S2.B, AsIntersectArc(S1.Arc), xs);
    } else {
        IntersectArcs(AsIntersectArc(S1.Arc), AsIntersectArc(S2.Arc), xs);
    }
    return xs;
}

std::vector<TEditShape> CutShape(const TEditShape& Shape, const std::vector<TVector2D>& Cuts)
{
    std::vector<TEditShape> pieces;
    if (!Shape.IsArc) {
        std::vector<TVector2D> points = Cuts;
        std::sort(points.begin(), points.end(), [&](const TVector2D& P, const TVector2D& Q) {
            return Distance(P, Shape.A) < Distance(Q, Shape.A);
        });
        TVector2D from = Shape.A;
        points.push_back(Shape.B);
        for (const TVector2D& p : points)
            if (Distance(from, p) > Tol()) {
                pieces.push_back(TEditShape::Line(from, p));
                from = p;
            }
        return pieces;
    }
    // Positions along the arc; a piece shorter than the tolerance is left out, so a cut at an end
    // or two cuts at one point make no empty piece.
    const TEditArc& arc = Shape.Arc;
    std::vector<double> at;
    for (const TVector2D& p : Cuts) {
        const double t = AngleFromStart(arc, p);
        if (t < arc.Sweep)
            at.push_back(t);
    }
    std::sort(at.begin(), at.end());
    at.push_back(arc.Sweep);
    double from = 0;
    for (double t : at)
        if ((t - from) * arc.Radius > Tol()) {
            pieces.push_back(TEditShape::OfArc({arc.Centre, arc.Radius, Wrap(arc.Start + from), t - from}));
            from = t;
        }
    // A last sliver merges into the piece before it, so the pieces still reach the end.
    if (from < arc.Sweep && !pieces.empty())
        pieces.back().Arc.Sweep = arc.Sweep - Wrap(pieces.back().Arc.Start - arc.Start);
    return pieces;
}

void CrossPolylines(const std::vector<TVector2D>& P, const std::vector<TVector2D>& Q,
                    std::vector<TPolylineCut>& CutsP, std::vector<TPolylineCut>& CutsQ)
{
    const auto add = [](std::vector<TPolylineCut>& Cuts, int32_t Segment, const TVector2D& Start,
                        const TVector2D& X) {
        // A crossing through a vertex is found on both segments that meet there: one cut.
        for (const TPolylineCut& c : Cuts)
            if (IsSamePoint(c.Point, X))
                return;
        Cuts.push_back({Segment, Distance(Start, X), X});
    };
    for (size_t i = 0; i + 1 < P.size(); ++i)
        for (size_t j = 0; j + 1 < Q.size(); ++j) {
            TVector2D x;
            if (!SegmentsIntersect(P[i], P[i + 1], Q[j], Q[j + 1], x))
                continue;
            add(CutsP, static_cast<int32_t>(i), P[i], x);
            add(CutsQ, static_cast<int32_t>(j), Q[j], x);
        }
    const auto order = [](const TPolylineCut& A, const TPolylineCut& B) {
        return A.Segment != B.Segment ? A.Segment < B.Segment : A.Distance < B.Distance;
    };
    std::sort(CutsP.begin(), CutsP.end(), order);
    std::sort(CutsQ.begin(), CutsQ.end(), order);
}

std::vector<std::vector<TVector2D>> CutPolyline(const std::vector<TVector2D>& P,
                                                const std::vector<TPolylineCut>& Cuts)
{
    std::vector<std::vector<TVector2D>> pieces;
    std::vector<TVector2D> piece;
    const auto append = [&piece](const TVector2D& V) {
        if (piece.empty() || Distance(piece.back(), V) > Tol())
            piece.push_back(V);
    };
    const auto finish = [&pieces, &piece](const TVector2D& Next) {
        if (piece.size() >= 2)
            pieces.push_back(piece);
        piece.assign(1, Next);
    };
    size_t c = 0;
    for (size_t i = 0; i < P.size(); ++i) {
        if (i > 0)
            for (; c < Cuts.size() && Cuts[c].Segment == static_cast<int32_t>(i - 1); ++c) {
                append(Cuts[c].Point);
                finish(Cuts[c].Point);
            }
        append(P[i]);
    }
    if (piece.size() >= 2)
        pieces.push_back(piece);
    return pieces;
}

// ---- divide, join, extend ----

std::pair<TEditShape, TEditShape> Divide(const TEditShape& Shape)
{
    if (!Shape.IsArc) {
        const TVector2D m = MidPoint(Shape.A, Shape.B);
        return {TEditShape::Line(Shape.A, m), TEditShape::Line(m, Shape.B)};
    }
    const TEditArc& a = Shape.Arc;
    const double half = a.Sweep / 2;
    return {TEditShape::OfArc({a.Centre, a.Radius, a.Start, half}),
            TEditShape::OfArc({a.Centre, a.Radius, Wrap(a.Start + half), half})};
}

TJoinResult Join(const TEditShape& S1, const TEditShape& S2)
{
    TJoinResult r;
    if (IsDegenerate(S1) || IsDegenerate(S2)) {
        r.Fault = TEditFault::Degenerate;
        return r;
    }
    if (!S1.IsArc) {
        if (!IsCollinear(S1.A, S1.B, S2.A) || !IsCollinear(S1.A, S1.B, S2.B)) {
            r.Fault = TEditFault::NotCollinear;
            return r;
        }
        // The two extreme points of the four: the one farthest from the origin, then the one
        // farthest from it; the same pair whichever line comes first.
        const std::vector<TVector2D> points{S1.A, S1.B, S2.A, S2.B};
        TVector2D e1{0, 0};
        FarthestPoint(e1, points);
        TVector2D e2 = e1;
        FarthestPoint(e2, points);
        r.Joined = TEditShape::Line(e1, e2);
        return r;
    }
    const TEditArc &a = S1.Arc, &b = S2.Arc;
    if (!IsSamePoint(a.Centre, b.Centre) || !IsEqual(a.Radius, b.Radius)) {
        r.Fault = TEditFault::NotConcentric;
        return r;
    }
    // The arc from one's start to the other's end that covers both; the shorter of the two ways.
    const auto cover = [](const TEditArc& From, const TEditArc& To) {
        return std::max(From.Sweep, Wrap(To.Start - From.Start) + To.Sweep);
    };
    const double ab = cover(a, b), ba = cover(b, a);
    TEditArc joined =
        ab <= ba ? TEditArc{a.Centre, a.Radius, a.Start, ab} : TEditArc{a.Centre, a.Radius, b.Start, ba};
    if (joined.Sweep * joined.Radius >= TwoPi * joined.Radius - Tol())
        joined.Sweep = TwoPi;
    r.Joined = TEditShape::OfArc(joined);
    return r;
}

TExtendResult Extend(const TEditShape& Shape, double Length, const TVector2D& Pick)
{
    TExtendResult r;
    r.Shape = Shape;
    if (Length == 0) {
        r.Fault = TEditFault::ZeroLength;
        return r;
    }
    if (IsDegenerate(Shape)) {
        r.Fault = TEditFault::Degenerate;
        return r;
    }
    if (!Shape.IsArc) {
        const TVector2D u = Scale(Sub(Shape.B, Shape.A), Length / Distance(Shape.A, Shape.B));
        if (Distance(Shape.A, Pick) > Distance(Shape.B, Pick))
            r.Shape.B = Add(Shape.B, u);
        else
            r.Shape.A = Sub(Shape.A, u);
        if (!(Distance(r.Shape.A, r.Shape.B) > Tol()))
            r.Fault = TEditFault::TooShort;
        return r;
    }
    const TEditArc& a = Shape.Arc;
    if (IsFullCircle(a)) {
        r.Fault = TEditFault::FullCircle;
        return r;
    }
    const double delta = std::min(Length / a.Radius, TwoPi - a.Sweep);
    TEditArc& out = r.Shape.Arc;
    out.Sweep = a.Sweep + delta;
    if (!HasLength(out)) {
        r.Fault = TEditFault::TooShort;
        return r;
    }
    if (Distance(ArcStartPoint(a), Pick) < Distance(ArcEndPoint(a), Pick))
        out.Start = Wrap(a.Start - delta);
    return r;
}

std::optional<TVector2D> ExtendPoint(const TVector2D& End, const TVector2D& Neighbour, double Length)
{
    const double d = Distance(End, Neighbour);
    if (!(d > Tol()))
        return std::nullopt;
    return Add(End, Scale(Sub(End, Neighbour), Length / d));
}

// ---- constructions ----

namespace {

TConstructResult ConstructFault(TEditFault F)
{
    TConstructResult r;
    r.Fault = F;
    return r;
}

// The point of the entity nearest to S: the foot on a line, the radial point of an arc's circle.
TEditFault NearestOnEntity(const TEditShape& To, const TVector2D& S, TVector2D& F)
{
    if (IsDegenerate(To))
        return TEditFault::Degenerate;
    if (!To.IsArc) {
        F = Foot(To.A, To.B, S);
        return TEditFault::None;
    }
    if (!(Distance(S, To.Arc.Centre) > Tol()))
        return TEditFault::PickAtCentre;
    F = Radial(To.Arc, S);
    return TEditFault::None;
}

} // namespace

TConstructResult PerpendicularLine(const TEditShape& To, const TVector2D& S)
{
    TVector2D f;
    if (const TEditFault fault = NearestOnEntity(To, S, f); fault != TEditFault::None)
        return ConstructFault(fault);
    if (!(Distance(S, f) > Tol()))
        return ConstructFault(TEditFault::PickOnEntity);
    TConstructResult r;
    r.Shape = TEditShape::Line(S, f);
    return r;
}

TConstructResult TouchingCircle(const TEditShape& To, const TVector2D& S)
{
    TVector2D f;
    if (const TEditFault fault = NearestOnEntity(To, S, f); fault != TEditFault::None)
        return ConstructFault(fault);
    const double radius = Distance(S, f);
    if (!(radius > Tol()))
        return ConstructFault(TEditFault::PickOnEntity);
    TConstructResult r;
    r.Shape = TEditShape::OfArc(FullCircle(S, radius));
    return r;
}

TConstructResult TangentLine2Circles(const TEditArc& C1, const TEditArc& C2, const TVector2D& Pick1,
                                     const TVector2D& Pick2)
{
    if (!(C1.Radius > Tol()) || !(C2.Radius > Tol()))
        return ConstructFault(TEditFault::Degenerate);
    const TVector2D d = Sub(C2.Centre, C1.Centre);
    const double dist = Length(d);
    if (!(dist > Tol()))
        return ConstructFault(TEditFault::Concentric);
    const TVector2D u = Scale(d, 1 / dist), w = PerpLeft(u);
    // A tangent is n.x = p with n.C1 - p = r1 and n.C2 - p = r2, radii signed by the side the
    // circle lies on: the outer tangents have equal signs, the inner ones opposite.
    const double signs[4][2] = {{1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
    TConstructResult best = ConstructFault(TEditFault::NoTangent);
    double bestScore = 0;
    for (const auto& s : signs) {
        const double r1 = s[0] * C1.Radius, r2 = s[1] * C2.Radius;
        const double c = (r1 - r2) / dist;
        const double h2 = 1 - c * c;
        if (h2 < 0)
            continue;
        const TVector2D n = Add(Scale(u, c), Scale(w, std::sqrt(h2)));
        const TVector2D t1 = Sub(C1.Centre, Scale(n, r1)), t2 = Sub(C2.Centre, Scale(n, r2));
        if (!(Distance(t1, t2) > Tol()))
            continue;
        const double score = Distance(t1, Pick1) + Distance(t2, Pick2);
        if (best.Fault != TEditFault::None || score < bestScore) {
            best.Fault = TEditFault::None;
            best.Shape = TEditShape::Line(t1, t2);
            bestScore = score;
        }
    }
    return best;
}

TConstructResult TangentLineAtAngle(const TEditArc& Circle, double Length, double Degrees,
                                    const TVector2D& Pick)
{
    if (!(Circle.Radius > Tol()))
        return ConstructFault(TEditFault::Degenerate);
    if (!(std::fabs(Length) > Tol()))
        return ConstructFault(TEditFault::ZeroLength);
    const double alpha = Degrees * std::numbers::pi / 180;
    const TVector2D dir{std::cos(alpha), std::sin(alpha)};
    // The touch point lies on the pick's side of the diameter along the direction.
    const double beta = Cross(dir, Sub(Pick, Circle.Centre)) < 0 ? alpha - std::numbers::pi / 2
                                                                 : alpha + std::numbers::pi / 2;
    const TVector2D t = ArcPoint(Circle, beta);
    TConstructResult r;
    r.Shape = TEditShape::Line(t, Add(t, Scale(dir, Length)));
    return r;
}
