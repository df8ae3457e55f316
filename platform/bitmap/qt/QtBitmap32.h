#pragma once
// The bitmap on a QImage of Format_ARGB32: each pixel a native 32-bit 0xAARRGGBB word, which on
// our little-endian targets is the bytes B, G, R, A in memory.
#include "Bitmap32.h"

#include <QImage>
#include <QString>

class TQtBitmap32 final : public TBitmap32 {
public:
    TQtBitmap32() = default;
    TQtBitmap32(int W, int H) { SetSize(W, H); }
    // Any image, converted to ARGB32.
    explicit TQtBitmap32(const QImage& Source);

    int Width() const override { return Image.width(); }
    int Height() const override { return Image.height(); }
    int BytesPerLine() const override { return int(Image.bytesPerLine()); }
    void SetSize(int W, int H) override;
    uint8_t* ScanLine(int Row) override;
    const uint8_t* ScanLine(int Row) const override;
    std::unique_ptr<TBitmap32> Clone() const override;

    const QImage& GetImage() const { return Image; }

private:
    QImage Image;
};

// Makes NewBitmap32 hand out QImage bitmaps.
void InstallQtBitmap32();

// A view of any bitmap's pixels as a QImage, without copying; valid while Source lives unchanged.
QImage Bitmap32AsImage(const TBitmap32& Source);

// Decodes an image in any format Qt reads (BMP of every depth, PNG, ...) from bytes. Format is a
// hint such as "BMP" or nullptr. Raises ECADFileNotValid with Qt's reason when it cannot.
std::unique_ptr<TQtBitmap32> DecodeBitmap32(const uint8_t* Data, size_t Size, const char* Format);
// Reads an image file the same way; the message names the file.
std::unique_ptr<TQtBitmap32> LoadBitmap32(const QString& FileName);
