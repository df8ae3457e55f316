#pragma once
// Curves: primitives whose drawn shape (the profile) is computed from a few control points.
// A rectangle from two corners, a circle from its centre and a point on it, an ellipse from the
// box it is inscribed in, an arc from its centre, radius point and two angle points.
//
// Conventions every caller relies on:
// - The profile is held in object coordinates; the world shape is the profile times
//   GetModelTransform(). Circles and ellipses start on the +X side of the centre and run
//   clockwise; arcs run from their start angle to their end angle.
// - Arcs and elliptic arcs have a Direction: 1 counter-clockwise, 0 clockwise. Their stored
//   angles follow the direction: for Direction 0 they are measured clockwise from +X, so the
//   point at stored angle a is (cx + R cos a, cy - R sin a). The setters place their points by
//   the same rule, so a stored angle always reads back from its point.
// - TArcInfo2D and TArcInfo describe an arc in world coordinates in one convention whatever its
//   Direction: the angles are the directions of the start and end point from the centre,
//   counter-clockwise from +X; Sweep is positive and runs in the arc's direction of travel. For
//   an unmirrored arc StartPt and EndPt are the first and last point of its profile.
// - The angles of an elliptic arc are parameters of the ellipse: the point at angle a is
//   (cx + rx cos a, cy +- ry sin a). Read back from a point they are parameters too, so an
//   elliptic arc is drawn from the angles it was given even when rx and ry differ.
//
// Stream record of every curve, after the primitive record: Precision (UInt16), KeepProfile
// (byte); arcs and elliptic arcs then add Direction (byte). The angles are not stored: they
// follow from control points 2 and 3 at the next profile build.
#include "QVDisplay.h"
#include "QVEntity.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// An arc in world coordinates (homogeneous points, W = 1).
struct TArcInfo2D {
    TPoint2D StartPt, EndPt, Center;
    double Radius = 0, StartAngle = 0, EndAngle = 0, Sweep = 0;
};

// The same with plain vectors.
struct TArcInfo {
    TVector2D StartPt, EndPt, Center;
    double Radius = 0, StartAngle = 0, EndAngle = 0, Sweep = 0;
};

// The property panel's live values while a shape is drawn or dragged. The panel installs itself
// in LiveInfoPanel; curves show their derived values there while LiveInfo() answers true.
class TLiveInfoPanel {
public:
    virtual ~TLiveInfoPanel() = default;
    virtual bool LiveInfo() const = 0;
    virtual void ShowBoxInfo(const TPoint2D& P1, const TPoint2D& P2) = 0;
    virtual void ShowCircleInfo(const TPoint2D& Centre, const TPoint2D& P, double Radius) = 0;
    virtual void ShowArcInfo(double CX, double CY, double Radius, double StartAngle, double EndAngle) = 0;
    virtual void ShowEllipseInfo(const TPoint2D& P1, const TPoint2D& P2) = 0;
    // The length and angle of a line being drawn or dragged.
    virtual void ShowSegmentInfo(const TPoint2D&, const TPoint2D&) {}
};

// Not owned; null while there is no panel.
extern TLiveInfoPanel* LiveInfoPanel;
// True while the interaction program is suspended; frames then show no box info. Filled by the
// editing subsystem at start; empty means never suspended.
extern std::function<bool()> InteractionSuspended;

class TCurve2D : public TOutline2D {
public:
    // Number of profile segments of the shapes below.
    static constexpr uint16_t ShapePrecision = 50;

    TCurve2D(int32_t id, int capacity, uint16_t precision);
    TCurve2D(int32_t id, int capacity, uint16_t precision, int32_t color, uint8_t lineWidth,
             const TMatrix4& transform);
    TCurve2D(TStreamReader& stream, const std::string& versionTag);
    ~TCurve2D() override;

    std::string_view ClassName() const override { return "TCurve2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // The box of the profile (through the combined transform) becomes Box. A profile held now is
    // rebuilt in place; otherwise none is kept: the points are traced for the box only.
    void ComputeBox() override;
    void SaveToStream(TStreamWriter& stream) override;
    // The primitive part, then from any curve its Precision and KeepProfile.
    void Assign(const TGraphicObject& source) override;
    // The box test, then the profile as an open line.
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;

    // A curve that keeps its profile makes it on the first read and holds it from then on; one
    // that does not raises ECADCoreException outside BeginUseProfilePoints and
    // EndUseProfilePoints.
    TPointsSet2D* GetProfilePoints() override;
    int32_t GetProfileCount() const override;
    // Builds the profile (and sets Box) unless a kept one is held already; the uses nest. The
    // last EndUseProfilePoints frees a profile made for the use, so drawing or picking a curve
    // leaves no outline behind.
    void BeginUseProfilePoints() override;
    void EndUseProfilePoints() override;
    // Recomputes the profile points and the box.
    void BuildProfile() override { UpdateBox(); }

    // A line strip of the profile in the style; curves without a highlight build none.
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    // Control-point markers when asked, and the profile.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    void DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement) override;
    // A line strip of the profile through the combined transform.
    TLineStrip* BuildProfileGL(TSceneGroup& group, const TLineStyle& style);
    // One build less; at 0 the profile is freed.
    void ReleaseProfile();

    // Stored only; the profile follows at the next UpdateBox or use.
    void SetPrecision(uint16_t n) { FPrecision = n; }
    // When it differs: stored, then UpdateBox.
    void SetKeepProfile(bool value);

    uint16_t Precision() const { return FPrecision; }
    bool KeepProfile() const { return FKeepProfile; }
    int32_t ProfileUses() const { return FProfileUses; }

protected:
    TCurve2D(TStreamReader& stream, const std::string& versionTag, int capacity, const char* className);

    // Each shape's profile rule: fills the profile (after StartProfile) and returns its box in
    // world coordinates. The base rule makes an empty profile.
    virtual TRect2D MakeProfile();
    // Empties the profile, or makes one of that capacity, and counts one more build. While the
    // box is traced, the buffer of the trace instead.
    TPointsSet2D& StartProfile(int capacity);
    // The box of the profile points through the combined transform; the zero box when empty.
    TRect2D ProfileBox() const;
    // Number of profile segments for the Precision: never more than a point set holds.
    int Segments() const;
    // The live-info panel when it wants values, else null.
    static TLiveInfoPanel* LivePanel();

private:
    // MakeProfile's box with the points in a reused buffer: no profile is made or kept.
    TRect2D TracedBox();

    uint16_t FPrecision;
    bool FKeepProfile = true;
    int32_t FProfileUses = 0;
    std::unique_ptr<TPointsSet2D> FProfile;
};

// A rectangle given by two opposite corners. The frame is the rectangle in its own space, so a
// rotation in its transform turns the whole outline.
class TFrame2D : public TCurve2D {
public:
    explicit TFrame2D(int32_t id);
    TFrame2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2);
    TFrame2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2, int32_t color, uint8_t lineWidth,
             const TMatrix4& transform);
    TFrame2D(TStreamReader& stream, const std::string& versionTag) : TCurve2D(stream, versionTag, 2, "TFrame2D") {}

    std::string_view ClassName() const override { return "TFrame2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    // From a frame, an ellipse or an elliptic arc: its control points 0 and 1.
    void Assign(const TGraphicObject& source) override;

    // The profile, so a rotated frame is drawn as it is picked, in its layer's pen whatever
    // UseLayerStyle says.
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override;

protected:
    TRect2D MakeProfile() override;
};

// A frame that is also picked by its inside.
class TRectangle2D : public TFrame2D {
public:
    using TFrame2D::TFrame2D;

    std::string_view ClassName() const override { return "TRectangle2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
};

// A circle: control point 0 the centre, 1 a point on it.
class TCerchio2D : public TCurve2D {
public:
    explicit TCerchio2D(int32_t id);
    TCerchio2D(int32_t id, const TPoint2D& centre, const TPoint2D& pointOn);
    TCerchio2D(int32_t id, const TPoint2D& centre, const TPoint2D& pointOn, int32_t color, uint8_t lineWidth,
               const TMatrix4& transform);
    TCerchio2D(TStreamReader& stream, const std::string& versionTag)
        : TCurve2D(stream, versionTag, 2, "TCerchio2D")
    {
    }

    std::string_view ClassName() const override { return "TCerchio2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    // From an ellipse, a frame, an arc or a circle: its control points 0 and 1.
    void Assign(const TGraphicObject& source) override;

    void GetCircleParams(double& cx, double& cy, double& radius) const;
    void GetGeometry(TPoint2D& centre, double& radius) const;

    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override;

    // A filled polygon of the profile: the layer's pen (opaque) or the own colour at opacity
    // 0.1. BuildFilledGL builds it into the view's target group; both keep it in GLObject.
    TSceneNode* BuildFilledGLIn(TSceneGroup& group);
    void BuildFilledGL();

protected:
    TRect2D MakeProfile() override;
};

class TFilledCerchio2D : public TCerchio2D {
public:
    using TCerchio2D::TCerchio2D;

    std::string_view ClassName() const override { return "TFilledCerchio2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
};

// An ellipse inscribed in the box of control points 0 and 1.
class TEllipse2D : public TCurve2D {
public:
    explicit TEllipse2D(int32_t id);
    TEllipse2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2);
    TEllipse2D(TStreamReader& stream, const std::string& versionTag)
        : TCurve2D(stream, versionTag, 2, "TEllipse2D")
    {
    }

    std::string_view ClassName() const override { return "TEllipse2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    // From an ellipse, a frame or an arc: its control points 0 and 1.
    void Assign(const TGraphicObject& source) override;

    void GetEllipseParams(double& cx, double& cy, double& rx, double& ry) const;

    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override;

protected:
    TRect2D MakeProfile() override;
};

// Never picked.
class TFilledEllipse2D : public TEllipse2D {
public:
    using TEllipse2D::TEllipse2D;

    std::string_view ClassName() const override { return "TFilledEllipse2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
};

// What arcs and elliptic arcs share: control points 2 and 3 give the start and end angle, and a
// direction of travel.
class TAngledCurve2D : public TCurve2D {
public:
    using TCurve2D::TCurve2D;

    std::string_view ClassName() const override { return "TAngledCurve2D"; }
    void SaveToStream(TStreamWriter& stream) override;
    // While Setup places the control points only the angles follow them; the profile and the
    // box are built once, when all points are placed.
    void ComputeBox() override;

    // Nothing when A equals the stored angle exactly; otherwise A is stored and control point 2
    // (start) or 3 (end) moves to the point at angle A, which rebuilds the profile.
    void SetStartAngle(double a);
    void SetEndAngle(double a);
    // When it differs: stored, then UpdateBox.
    void SetDirection(uint8_t d);

    double StartAngle() const { return FStartAngle; }
    double EndAngle() const { return FEndAngle; }
    uint8_t Direction() const { return FDirection; }
    bool Clockwise() const { return FDirection == 0; }

protected:
    TAngledCurve2D(TStreamReader& stream, const std::string& versionTag, const char* className);

    // Control points 0 and 1, two points (0, 0), both angles set through the setters.
    void Setup(const TPoint2D& p0, const TPoint2D& p1, double startAngle, double endAngle);
    // Copies angles, direction and control points 0 to 3 from another curve of the same kind.
    void CopyArcFrom(const TAngledCurve2D& source);
    // From a frame or an ellipse: a full turn over control points 0 and 1 and two points (0, 0).
    void CopyFullTurnFrom(const TPrimitive2D& source);
    // Reads the angles back from control points 2 and 3 (as far as they exist).
    void RefreshAngles();
    // The angle of P about the centre by the direction's rule, in (-pi, pi].
    virtual double AngleOfPoint(const TPoint2D& p) const = 0;
    // The point at angle A by the direction's rule.
    virtual TPoint2D PointAtAngle(double a) const = 0;
    // The profile of an arc on the curve's radii: N + 1 points from the start to the end angle.
    void FillArcProfile(TPointsSet2D& profile, double cx, double cy, double rx, double ry) const;
    // The box of that arc, through the model transform: its profile's and the ends of the axes
    // that it passes, which the profile's points may fall short of.
    TRect2D ArcBox(const TPointsSet2D& profile, double cx, double cy, double rx, double ry) const;

private:
    void SetAngle(int index, double a, double& stored);

    double FStartAngle = 0;
    double FEndAngle = 0;
    uint8_t FDirection = 1;
    bool FPlacing = false;  // within Setup
};

// A circular arc: control point 0 the centre, 1 the radius point, 2 and 3 the start-angle and
// end-angle points.
class TArco2D : public TAngledCurve2D {
public:
    explicit TArco2D(int32_t id);
    TArco2D(int32_t id, const TPoint2D& centre, const TPoint2D& radiusPoint, double startAngle, double endAngle);
    TArco2D(int32_t id, const TPoint2D& centre, const TPoint2D& radiusPoint, double startAngle, double endAngle,
            int32_t color, uint8_t lineWidth, const TMatrix4& transform);
    TArco2D(TStreamReader& stream, const std::string& versionTag) : TAngledCurve2D(stream, versionTag, "TArco2D") {}

    std::string_view ClassName() const override { return "TArco2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    // From an arc: angles, direction and control points 0 to 3. From an ellipse or a frame: a full
    // turn on its control points 0 and 1.
    void Assign(const TGraphicObject& source) override;

    // The angles are written only when there are at least 3 control points.
    void GetArcParams(double& cx, double& cy, double& radius, double& startAngle, double& endAngle) const;
    void GetGeometry(TPoint2D& centre, double& radius, double& startAngle, double& endAngle) const;
    // The arc in world coordinates. With fewer than 3 control points only Center and Radius are
    // written. A transform that mirrors the arc exchanges its start and end.
    void GetArcInfo2D(TArcInfo2D& info) const;
    void GetArcInfo(TArcInfo& info) const;
    // The world point at fraction T of the sweep: exactly the start point at 0 and the end point
    // at 1, otherwise the start point turned by T x Sweep in the arc's direction.
    TPoint2D PointAtParam(double t) const;
    // The arc becomes the counter-clockwise one of these drawing coordinates, without transforms:
    // how an editing tool writes back an arc it has cut or lengthened.
    void SetWorldArc(const TPoint2D& centre, const TPoint2D& radiusPoint, double startAngle, double endAngle);

    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override;

protected:
    TRect2D MakeProfile() override;
    double AngleOfPoint(const TPoint2D& p) const override;
    TPoint2D PointAtAngle(double a) const override;
};

// An elliptic arc: control points 0 and 1 the corners of the ellipse's box, 2 and 3 the
// start-angle and end-angle points.
class TEllipseOpen2D : public TAngledCurve2D {
public:
    explicit TEllipseOpen2D(int32_t id);
    // An end angle of 2 pi (within SystemTol) becomes 0, so 0 to 2 pi is the whole ellipse.
    TEllipseOpen2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2, double startAngle,
                   double endAngle);
    TEllipseOpen2D(TStreamReader& stream, const std::string& versionTag)
        : TAngledCurve2D(stream, versionTag, "TEllipseOpen2D")
    {
    }

    std::string_view ClassName() const override { return "TEllipseOpen2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    // From an elliptic arc: angles, direction and control points 0 to 3. From an ellipse or a
    // frame: the whole ellipse on its control points 0 and 1.
    void Assign(const TGraphicObject& source) override;

    // The angles are written only when there are at least 3 control points.
    void GetEllipseParams(double& cx, double& cy, double& rx, double& ry, double& startAngle,
                          double& endAngle) const;

protected:
    // The profile runs from the start to the end angle; its box is that of the whole ellipse.
    TRect2D MakeProfile() override;
    double AngleOfPoint(const TPoint2D& p) const override;
    TPoint2D PointAtAngle(double a) const override;
};

// The three steps by which the three-point arc task shapes an arc through P1, P2 and P3.
// False, and the arc unchanged, when the points lie on one line (they define no circle).
bool Arc3PtSetCenter(TArco2D& arc, const TPoint2D& p1, const TPoint2D& p2, const TPoint2D& p3, TPoint2D& centre);
// Control point 1 := control point 0 moved by the radius along +X.
void Arc3PtSetRadius(TArco2D& arc, const TPoint2D& p1, const TPoint2D& p2, const TPoint2D& p3);
// The angles of P1 and P3 about the centre, exchanged when P1 -> P2 -> P3 turns clockwise.
void Arc3PtSetAngles(TArco2D& arc, const TPoint2D& p1, const TPoint2D& p2, const TPoint2D& p3,
                     const TPoint2D& centre);

// Conversions into new polylines (ID -1) in world coordinates: the source's transform is
// applied and the source is left as it is.
std::unique_ptr<TPolyline2D> LineToPolyline(const TLine2D& line);
// Closed, five points: P0, (P0.X, P1.Y), P1, (P1.X, P0.Y), P0, each through the transform.
std::unique_ptr<TPolyline2D> FrameToPolyline(const TFrame2D& frame);
// Through the profile points, on the curve's layer.
std::unique_ptr<TPolyline2D> CurveToPolyline(TCurve2D& curve);
// The same, leaving the layer to the drawing that adds it.
std::unique_ptr<TPolyline2D> CurveProfileToPolyline(TCurve2D& curve);
// The polyline form of Prim by its class: a line, frame or curve is converted into Created; a
// polyline (or polygon) is itself; anything else gives null.
TPolyline2D* PrimitiveToPolyline(TPrimitive2D& prim, std::unique_ptr<TPolyline2D>& created);
