#pragma once
// The resolution of an opened picture, read from its file header only, so that the placement
// panel can size the picture in drawing units. 0 means unknown.
#include <cstdint>
#include <string>

// Dots per inch from the JFIF segment among the first 50 bytes; 0 and 0 when there is none,
// when its density unit is 0 (an aspect ratio, not a resolution) or unknown, or when the segment
// is cut off. Densities in dots per centimetre are converted.
// Raises ECADCoreException when the file cannot be opened.
void ReadJpegDensity(const std::string& FileName, uint16_t& XDensity, uint16_t& YDensity);

// Bit count, compression and dots per inch from a BMP's 40-byte information header. A file too
// short for it, or with an older header, gives 0 dots per inch; a resolution of 0 or less too.
// Raises ECADCoreException when the file cannot be opened.
void ReadBmpInfo(const std::string& FileName, uint16_t& BitCount, bool& Compressed, int32_t& XDpi, int32_t& YDpi);
