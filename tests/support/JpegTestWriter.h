#pragma once
// Writes small JPEG pictures with libjpeg for the decoder, probe and file-command tests.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

struct TJpegEncoding {
    bool Grey = false;
    // Four channels as Adobe writes them (inverted): the colour's red, green, blue and no black.
    bool Cmyk = false;
    bool Progressive = false;
    int Quality = 95;
    uint8_t DensityUnit = 1; // 0 aspect only, 1 per inch, 2 per centimetre
    uint16_t XDensity = 72, YDensity = 72;
};

// W x H pixels; Colour(x, y) gives 0x00RRGGBB (grey pictures take the green byte).
inline std::vector<uint8_t> EncodeJpeg(int W, int H, const std::function<uint32_t(int, int)>& Colour,
                                       const TJpegEncoding& E = {})
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(W);
    c.image_height = static_cast<JDIMENSION>(H);
    c.input_components = E.Grey ? 1 : E.Cmyk ? 4 : 3;
    c.in_color_space = E.Grey ? JCS_GRAYSCALE : E.Cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, E.Quality, TRUE);
    if (E.Progressive)
        jpeg_simple_progression(&c);
    c.write_JFIF_header = TRUE;
    c.density_unit = E.DensityUnit;
    c.X_density = E.XDensity;
    c.Y_density = E.YDensity;
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(W) * size_t(c.input_components));
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const uint32_t v = Colour(x, y);
            if (E.Grey) {
                row[size_t(x)] = JSAMPLE((v >> 8) & 0xFF);
            } else if (E.Cmyk) {
                row[size_t(x) * 4] = JSAMPLE((v >> 16) & 0xFF);
                row[size_t(x) * 4 + 1] = JSAMPLE((v >> 8) & 0xFF);
                row[size_t(x) * 4 + 2] = JSAMPLE(v & 0xFF);
                row[size_t(x) * 4 + 3] = 255;
            } else {
                row[size_t(x) * 3] = JSAMPLE((v >> 16) & 0xFF);
                row[size_t(x) * 3 + 1] = JSAMPLE((v >> 8) & 0xFF);
                row[size_t(x) * 3 + 2] = JSAMPLE(v & 0xFF);
            }
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

inline bool WriteBytes(const std::string& Name, const std::vector<uint8_t>& Bytes)
{
    std::FILE* f = std::fopen(Name.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(Bytes.data(), 1, Bytes.size(), f) == Bytes.size();
    return std::fclose(f) == 0 && ok;
}
