#include "JpegDecoder.h"

#include "CADExceptions.h"

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace {

// Progressive pictures may hold any number of scans; encoders write about a dozen, while a
// crafted file can make the decoder run for minutes with thousands of tiny ones.
constexpr int MaxScans = 1000;

struct TErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr Info)
{
    auto* err = reinterpret_cast<TErrorManager*>(Info->err);
    (*Info->err->format_message)(Info, err->Message);
    std::longjmp(err->Jump, 1);
}

// Warnings (a corrupt entropy segment that the library patches over) would otherwise go to
// stderr; a picture with such damage is refused rather than shown half grey.
void EmitMessage(j_common_ptr Info, int Level)
{
    if (Level < 0)
        ErrorExit(Info);
}

struct TProgressManager {
    jpeg_progress_mgr Base;
    TErrorManager* Error;
};

void ProgressMonitor(j_common_ptr Info)
{
    auto* progress = reinterpret_cast<TProgressManager*>(Info->progress);
    if (Info->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(Info);
        if (d->input_scan_number > MaxScans) {
            std::snprintf(progress->Error->Message, sizeof progress->Error->Message, "more than %d scans",
                          MaxScans);
            std::longjmp(progress->Error->Jump, 1);
        }
    }
}

// The decompressor, destroyed on every path out (longjmp included: it is destroyed by the
// caller's frame, which longjmp returns to).
struct TDecompress {
    jpeg_decompress_struct Info{};
    ~TDecompress() { jpeg_destroy_decompress(&Info); }
};

[[noreturn]] void Invalid(const char* Reason)
{
    throw ECADFileNotValid(std::string("invalid JPEG file: ") + Reason);
}

} // namespace

namespace {

// Everything a decode owns, kept in the caller's frame: libjpeg leaves a failed decode by
// longjmp into RunDecode, which then only returns, so no object lives in the frame it jumps over.
struct TDecodeState {
    TDecompress D;
    TErrorManager Err{};
    TProgressManager Progress{};
    std::unique_ptr<TBitmap32> Bitmap;
    std::vector<uint8_t> Row;
    std::string Refused; // a reason of our own, beside the library's
};

bool RunDecode(TDecodeState& S, const uint8_t* Data, size_t Size, const TJpegProgress& Progress,
               int64_t MaxPixels)
{
    if (setjmp(S.Err.Jump))
        return false;
    jpeg_create_decompress(&S.D.Info);
    S.D.Info.progress = &S.Progress.Base;
    jpeg_mem_src(&S.D.Info, Data, static_cast<unsigned long>(Size));
    jpeg_read_header(&S.D.Info, TRUE);
    // Grey and colour pictures come out straight in the bitmap's byte order (blue, green, red,
    // opaque alpha); CMYK ones as CMYK (Adobe's inverted form), turned into it row by row.
    const bool cmyk = S.D.Info.jpeg_color_space == JCS_CMYK || S.D.Info.jpeg_color_space == JCS_YCCK;
    S.D.Info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    const int64_t w = S.D.Info.image_width, h = S.D.Info.image_height;
    if (w * h > MaxPixels || w * h > MaxBitmapPixels) {
        S.Refused = "JPEG picture too large: " + std::to_string(w) + " x " + std::to_string(h);
        return false;
    }
    jpeg_start_decompress(&S.D.Info);
    S.Bitmap = NewBitmap32(static_cast<int>(w), static_cast<int>(h));
    if (cmyk)
        S.Row.resize(size_t(w) * 4);
    int lastReported = -1;
    while (S.D.Info.output_scanline < S.D.Info.output_height) {
        const int y = static_cast<int>(S.D.Info.output_scanline);
        uint8_t* out = S.Bitmap->ScanLine(y);
        JSAMPROW rows[1] = {cmyk ? S.Row.data() : out};
        jpeg_read_scanlines(&S.D.Info, rows, 1);
        if (cmyk) {
            const uint8_t* in = S.Row.data();
            for (int64_t x = 0; x < w; ++x, in += 4, out += 4) {
                // Inverted CMYK as Adobe writes it: each channel times the inverted black.
                const unsigned k = in[3];
                out[0] = static_cast<uint8_t>(in[2] * k / 255);
                out[1] = static_cast<uint8_t>(in[1] * k / 255);
                out[2] = static_cast<uint8_t>(in[0] * k / 255);
                out[3] = 255;
            }
        }
        // Every 64 rows: often enough for the bar, rare enough to cost nothing.
        if (Progress && (y - lastReported >= 64 || y + 1 == h)) {
            lastReported = y;
            Progress(y + 1, static_cast<int>(h));
        }
    }
    jpeg_finish_decompress(&S.D.Info);
    return true;
}

} // namespace

std::unique_ptr<TBitmap32> DecodeJpeg(const uint8_t* Data, size_t Size, const TJpegProgress& Progress,
                                      int64_t MaxPixels)
{
    if (Size < 4)
        Invalid("too short");
    TDecodeState s;
    s.D.Info.err = jpeg_std_error(&s.Err.Base);
    s.Err.Base.error_exit = ErrorExit;
    s.Err.Base.emit_message = EmitMessage;
    s.Progress.Base.progress_monitor = ProgressMonitor;
    s.Progress.Error = &s.Err;
    if (!RunDecode(s, Data, Size, Progress, MaxPixels)) {
        if (!s.Refused.empty())
            throw ECADFileNotValid(s.Refused);
        Invalid(s.Err.Message);
    }
    return std::move(s.Bitmap);
}
