#include "ImageProbes.h"

#include "CADExceptions.h"
#include "QVDXF.h"
#include "QVStream.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace {

// Up to Size bytes from the start of the file; fewer when the file is shorter.
size_t ReadHead(const std::string& FileName, uint8_t* Data, size_t Size)
{
    std::FILE* f = std::fopen(FileName.c_str(), "rb");
    if (!f)
        throw ECADCoreException("Cannot open the file " + DXFFileErrorText(FileName, errno));
    const size_t n = std::fread(Data, 1, Size, f);
    const bool failed = std::ferror(f);
    const int err = errno;
    std::fclose(f);
    if (failed)
        throw ECADCoreException("Cannot read the file " + DXFFileErrorText(FileName, err));
    return n;
}

uint16_t BigEndian16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint16_t DensityToDpi(uint16_t Density, uint8_t Unit)
{
    switch (Unit) {
    case 1: return Density;  // dots per inch
    case 2: return static_cast<uint16_t>(std::min(65535.0, std::nearbyint(Density * 2.54)));  // per cm
    default: return 0;
    }
}

int32_t PixelsPerMetreToDpi(int32_t Ppm)
{
    // A negative resolution is no resolution.
    return Ppm <= 0 ? 0 : static_cast<int32_t>(std::nearbyint(Ppm / 39.37007874015748));
}

} // namespace

void ReadJpegDensity(const std::string& FileName, uint16_t& XDensity, uint16_t& YDensity)
{
    XDensity = YDensity = 0;
    uint8_t head[50];
    const size_t n = ReadHead(FileName, head, sizeof head);
    const std::string_view bytes(reinterpret_cast<const char*>(head), n);
    const size_t m = bytes.find(std::string_view("JFIF\0", 5));
    // Marker, version (2), unit (1) and the two densities must all be inside what was read.
    if (m == std::string_view::npos || m + 12 > n)
        return;
    const uint8_t unit = head[m + 7];
    XDensity = DensityToDpi(BigEndian16(head + m + 8), unit);
    YDensity = DensityToDpi(BigEndian16(head + m + 10), unit);
}

void ReadBmpInfo(const std::string& FileName, uint16_t& BitCount, bool& Compressed, int32_t& XDpi, int32_t& YDpi)
{
    BitCount = 0;
    Compressed = false;
    XDpi = YDpi = 0;
    constexpr size_t FileHeader = 14, CoreHeader = 12, InfoHeader = 40;
    uint8_t head[FileHeader + InfoHeader] = {};
    const size_t n = ReadHead(FileName, head, sizeof head);
    if (n < FileHeader + CoreHeader)
        return;
    TStreamReader r(head + FileHeader, n - FileHeader);
    const uint32_t size = r.ReadUInt32();
    if (size == CoreHeader) {
        // The old core header has a bit count but neither compression nor resolution.
        r.Seek(10);
        BitCount = r.ReadUInt16();
        return;
    }
    if (size < InfoHeader || n < FileHeader + InfoHeader)
        return;
    r.Seek(14);
    BitCount = r.ReadUInt16();
    Compressed = r.ReadUInt32() != 0;
    r.Seek(24);
    XDpi = PixelsPerMetreToDpi(r.ReadInt32());
    YDpi = PixelsPerMetreToDpi(r.ReadInt32());
}
