#pragma once
// Last stage: hand polylines over in output coordinates (origin at the lower-left corner,
// Y up) and in pieces no longer than a DXF reader can hold.
#include "Tracer.h"

// Appends a polyline given in image coordinates (Y down) of a picture of the given height.
// A closed polyline that would exceed MaxPolylinePoints (counting the repeated first point a
// reader adds when it closes it) is split into open pieces that meet end to end.
void EmitPolyline(TTraceResult& result, const std::vector<TVector2D>& imagePoints, bool closed, int imageHeight);

// Appends a dot, a polyline of the one point.
void EmitPoint(TTraceResult& result, TVector2D imagePoint, int imageHeight);
