#pragma once
// Offset: a parallel copy of one drawing object at a distance on a chosen side. Lines, arcs and
// circles are offset geometrically; closed outlines (frames, closed polylines and curves) through
// the polygon-offset library on integer paths, with miter joins and the results united; open
// polylines and curves through our own one-sided offsetter on the library's integer types
// (TQVClipperOffset), whose loops at concave corners are cut at their crossing points.
//
// The results are new entities in world coordinates (ID -1, red, width 2), for the preview and,
// on Apply, for the drawing.
#include <polyclipping/clipper.hpp>

#include <memory>
#include <vector>

class TACurva;
class TObject2D;
class TPrimitive2D;

using TOffsetResults = std::vector<std::unique_ptr<TPrimitive2D>>;

// The offset of Obj by Distance; Side true takes the other side (inwards for a closed outline,
// the right of a line's direction). Nothing for an object of another kind, a zero-length line, or
// an arc or circle whose radius would not stay positive.
TOffsetResults MakeOffset(TObject2D& Obj, double Distance, bool Side);

// The two path routines: Chain's offset outlines as polylines. A closed chain is made
// counter-clockwise first, so Side false grows it.
void OffsetClosedChain(TACurva& Chain, double Distance, bool Side, TOffsetResults& Results);
void OffsetOpenChain(const TACurva& Chain, double Distance, bool Side, TOffsetResults& Results);

// One-sided offsets of open integer paths: for each input path one output path, in input order,
// butt ends and miter joins as the library makes them, no union.
class TQVClipperOffset {
public:
    explicit TQVClipperOffset(double MiterLimit = 2.0) : MiterLimit(MiterLimit) {}
    void AddPath(const ClipperLib::Path& Path);
    void ExecuteRaw(ClipperLib::Paths& Solution, double Delta);

    // The loops a one-sided offset forms at concave corners, each replaced by the crossing point
    // of its two ends. Exposed for its tests.
    static ClipperLib::Path CutLoops(ClipperLib::Path S);

private:
    ClipperLib::Path DoOffset(const ClipperLib::Path& P, double Delta) const;

    double MiterLimit;
    ClipperLib::Paths Inputs;
};
