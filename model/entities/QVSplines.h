#pragma once
// Splines: the uniform B-spline the user draws, and the weighted spline (NURBS) that comes from
// DXF files. Both are curves: their profile is recomputed from the control points.
//
// Stream records, after the curve record (which ends with Precision and KeepProfile):
// - TBSpline2D: Order (byte);
// - TQVBSpline2D: Closed, Periodic, Rational, Planar, Linear (a byte each), Degree (Int32), the
//   knots (Int32 count, then the Doubles), the weights (Int32 count, then the Doubles). A count
//   below 1 stands for an empty list.
//
// Spline data from files is never trusted: a B-spline order outside 2..MaxBSplineOrder is
// refused when read, and a NURBS whose degree, knots or weights define no curve is drawn as its
// control polygon instead of being evaluated.
#include "QVCurves.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// An ordered list of Doubles.
class TDoubleList {
public:
    void Add(double value) { Values.push_back(value); }
    // Raises ECADOutOfBound outside 0..Count-1.
    double Get(int index) const;
    double Last() const { return Get(Count() - 1); }
    int Count() const { return static_cast<int>(Values.size()); }
    void Clear() { Values.clear(); }
    // Appends all values of Source.
    void CopyFrom(const TDoubleList& source);
    std::span<const double> Items() const { return Values; }

    // Int32 count, then the values.
    void SaveToStream(TStreamWriter& stream) const;
    // Appends the values of the stream form; a count below 1 reads none.
    void LoadFromStream(TStreamReader& stream, const char* what);

private:
    std::vector<double> Values;
};

// An ordered list of 3D vectors. A vector once added stays where it is, so the reference that
// Add returns may be filled later.
class TVector3DList {
public:
    TVector3D& Add(double x, double y, double z);
    // Raises ECADOutOfBound outside 0..Count-1.
    TVector3D& Get(int index);
    const TVector3D& Get(int index) const;
    int Count() const { return static_cast<int>(Items.size()); }
    void Clear() { Items.clear(); }
    // Appends copies of Source's vectors.
    void CopyFrom(const TVector3DList& source);
    // Frees all, then one (X, Y, 0) per cartesian point of the set.
    void FillFrom(const TPointsSet2D& points);

private:
    std::deque<TVector3D> Items;
};

// A uniform B-spline over its control points, clamped to the first and the last.
class TBSpline2D : public TCurve2D {
public:
    static constexpr uint8_t DefaultOrder = 3;
    static constexpr uint8_t MaxBSplineOrder = 10;

    explicit TBSpline2D(int32_t id);
    TBSpline2D(int32_t id, std::span<const TPoint2D> points);
    TBSpline2D(TStreamReader& stream, const std::string& versionTag);

    std::string_view ClassName() const override { return "TBSpline2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    void SaveToStream(TStreamWriter& stream) override;
    // From a B-spline: its order and all its control points.
    void Assign(const TGraphicObject& source) override;

    // Order k (degree + 1). The profile is the control polygon while there are fewer control
    // points than k, or when k lies outside 2..MaxBSplineOrder.
    uint8_t Order = DefaultOrder;

protected:
    // Precision points at evenly spaced parameters over the clamped range, then the last control
    // point exactly.
    TRect2D MakeProfile() override;
};

// A NURBS curve as DXF files describe it: degree, knot vector and weights. The control points
// that define it are the primitive's Points; ControlPoints mirrors them in 3D.
class TQVBSpline2D : public TCurve2D {
public:
    // Beyond this degree the curve is drawn as its control polygon.
    static constexpr int32_t MaxDegree = 25;

    explicit TQVBSpline2D(int32_t id);
    TQVBSpline2D(int32_t id, std::span<const TPoint2D> points);
    TQVBSpline2D(TStreamReader& stream, const std::string& versionTag);
    // ID -1 and one point (0, 0), for the DXF reader to fill.
    static std::unique_ptr<TQVBSpline2D> CreateEmpty();

    std::string_view ClassName() const override { return "TQVBSpline2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    void SaveToStream(TStreamWriter& stream) override;
    // From a NURBS: flags, degree, counts, knots, weights, 3D control points and all control
    // points; the lists become equal to the source's.
    void Assign(const TGraphicObject& source) override;

    // Appends a (0, 0, 0) vector to ControlPoints for the caller to fill.
    TVector3D& AddControlPoint() { return ControlPoints.Add(0, 0, 0); }
    void AddKnot(double value) { Knots.Add(value); }
    void AddWeight(double value) { Weights.Add(value); }
    int WeightsCount() const { return Weights.Count(); }
    TVector3D& GetControlPoint(int index) { return ControlPoints.Get(index); }
    // Appends weight 1 until there is one weight per control point.
    void FillWeights();
    // UMin = the first knot; UMax = the last knot when it is above the first, else the first.
    void GetParamRange(double& uMin, double& uMax) const;
    // The knot span of parameter U: the index s with Knots[s] <= U < Knots[s + 1] within the
    // curve's range, the last span at and beyond its end. Always ends, whatever the knots hold;
    // raises ECADOutOfBound when the knot vector is too short to have a span.
    int FindKnotSpan(double u) const;
    // N points evenly spaced in the parameter over the curve's range; N is raised (with
    // Precision) to the number of control points first. False, and no points, when the degree,
    // knots and weights define no curve.
    bool EvaluatePoints(int n, TArrayOfPoint2d& points);
    // The degree, knots and weights define a curve over the control points: degree 1 to
    // MaxDegree, one knot per control point plus degree + 1, knots finite and non-decreasing
    // with a non-empty range, weights finite and positive (missing ones count as 1).
    bool IsEvaluable() const;

    uint8_t Closed = 0, Periodic = 0, Rational = 0, Planar = 0, Linear = 0;
    int32_t Degree = 3;
    int32_t KnotsCount = 0;
    int32_t ControlPointsCount = 0;
    TDoubleList Knots;
    TDoubleList Weights;
    TVector3DList ControlPoints;
    int32_t Dimension = 3;
    TVector3D Normal, StartTangent, EndTangent;

protected:
    TRect2D MakeProfile() override;

private:
    // The curve's parameter range: from Knots[Degree] to Knots[number of control points].
    void GetDomain(double& uMin, double& uMax) const;
};
