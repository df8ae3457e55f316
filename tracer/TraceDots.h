#pragma once
// Centre-line stage for dots: a round blob of ink (a stroke of no length, drawn with a round
// pen) has no middle line, only a middle: its centre. Thinning shrinks such a blob to a pixel
// or a short stub, which would otherwise come out as an outline or as a stray line.
#include "MonoBitmap.h"
#include "QVTypes.h"

struct TDot {
    TVector2D Centre;  // image coordinates (Y down)
    double Radius = 0; // of the disc of the blob's area
};

// Whether the ink shape (8-connected) holding pixel (x, y) is a round blob: its area's disc,
// placed at its centre of mass, holds all of its pixels to within a pixel and a half or an
// eighth of the radius (a scanned dot's edge wanders), and no background lies near its centre
// (a ring's hole does). Blobs below two pixels in radius are specks, not dots. The shape's
// pixels are set in done (the picture's size); a shape already done answers false.
bool FindRoundBlob(const TMonoBitmap& ink, int x, int y, TMonoBitmap& done, TDot& dot);
