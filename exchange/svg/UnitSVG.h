#pragma once
// SVG files into the drawing. The file is parsed whole first (a file that cannot be read adds
// nothing); then each path becomes drawing objects: lines and flattened Bezier curves open
// polylines, circles TCerchio2D, circular arcs TArco2D and elliptical ones polylines along the
// ellipse. Each object goes on a layer chosen by its path's fill colour, whose pen takes the
// colour quantised to five steps a channel, so up to 125 colours of a drawing survive as layers.
// The path's transform is applied and Y turned upwards: a point (x, y) of the file lands at
// (x, -y) when nothing transforms it.
#include "QVTypes.h"

#include <functional>
#include <string>

class TQV_01Cmp2D;
class path_renderer;

// How far the conversion into drawing objects has come, 0 to 100; it may raise to break off.
using TSvgProgress = std::function<void(int Percent)>;

// Adds the shapes of FileName to the drawing. Raises svg_exception or Esvg_exception with the
// reason (the routine that failed first) when the file cannot be read, before anything is added;
// what Progress raises passes through, the objects added before it staying.
void ImportSvg(TQV_01Cmp2D& Drawing, const std::string& FileName, const TSvgProgress& Progress = {});
// The conversion alone, from the paths a parser has filled. It gives back the vertices as it
// converts them, so the document's vertices and the drawing made of them are not held whole at
// once: Paths is spent afterwards.
void ImportSvgPaths(TQV_01Cmp2D& Drawing, path_renderer& Paths, const TSvgProgress& Progress = {});

// The layer and the pen colour (0x00BBGGRR) of a fill colour: each channel in five steps of 52.
uint8_t SvgLayerOfColor(uint8_t R, uint8_t G, uint8_t B);
int32_t SvgPenOfColor(uint8_t R, uint8_t G, uint8_t B);

// An SVG arc from its end points to its centre, in the file's own coordinates. Radii too small
// to reach from one end to the other are enlarged together until they do.
class TSvgArc {
public:
    // From (X0, Y0) to (X2, Y2) on the ellipse of radii Rx, Ry turned by Angle degrees; the flags
    // as SVG gives them. The ends must differ and both radii be non-zero.
    TSvgArc(double X0, double Y0, double Rx, double Ry, double Angle, bool LargeArc, bool Sweep, double X2,
            double Y2);

    // The point at parameter angle Theta of the ellipse.
    TVector2D PointAt(double Theta) const;

    TVector2D Centre;
    double Rx = 0, Ry = 0;
    // The parameter angles: where the arc starts, and how far it turns (positive towards +Y of
    // the file, which is clockwise as the file is seen).
    double StartAngle = 0, Sweep = 0;

private:
    double CosPhi = 1, SinPhi = 0;
};
