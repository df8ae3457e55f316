#pragma once
// The pixel work of the tracing front end on whole bitmaps: the colour threshold, the marker
// colours, the removal of small specks and the black-and-white BMP the tracer reads. Each runs
// over the rows once (the speck removal over a bit image of them), never pixel by pixel through
// the bitmap's own accessors, so a 600 dpi page stays quick enough to preview while dragging.
#include <cstdint>
#include <string>

class TBitmap32;

// Plain colours: ink (threshold failed) and paper (passed). The marker colours show the picture
// faded behind a traced result.
inline constexpr uint32_t InkPixel = 0xFF000000;
inline constexpr uint32_t PaperPixel = 0xFFFFFFFF;
inline constexpr uint32_t MarkerInkPixel = 0x7FFFFFFF;
inline constexpr uint32_t MarkerPaperPixel = 0x2FFFFFFF;

// Target (resized to Source when it differs) gets On where the pixel's red, green and blue
// bytes are all strictly above their thresholds, else Off.
void ThresholdBitmap(const TBitmap32& Source, TBitmap32& Target, uint8_t Red, uint8_t Green, uint8_t Blue,
                     uint32_t Off, uint32_t On);

// Marker ink becomes ink and every other pixel paper.
void ResolveMarkerPixels(TBitmap32& Image);

// Specks of one colour that fit in an N x N window (N clamped to 1..8) framed all round by the
// other colour are painted over with the other colour: ink specks (White false) become paper,
// paper specks (White true) become ink. A window is a candidate when it holds a pixel of the
// speck colour; its frame is the row above and the row below it and the columns left and right of
// it over the window's rows and the row above (the two corners below are not part of it), each
// part only where it lies inside the image. Windows are taken row by row, left to right, every
// change seen by the windows after it, and they reach the last row and the last column alike.
// Ink is exactly InkPixel and paper exactly PaperPixel; other colours are neither.
void RemoveSpecks(TBitmap32& Image, int N, bool White);

// Writes Image as a one-bit BMP (palette: black, white): a pixel is black when its luminance is
// below one half, the rule the tracer reads pictures by. Answers an empty string, or why the
// file could not be written (a part written is removed).
std::string SaveMonoBmp(const std::string& FileName, const TBitmap32& Image);
