#include "QtBitmap32.h"

#include "CADExceptions.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <new>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "ARGB32 words must be B, G, R, A in memory");

TQtBitmap32::TQtBitmap32(const QImage& Source) : Image(Source.convertToFormat(QImage::Format_ARGB32))
{
    if (Image.isNull() && !Source.isNull())
        throw std::bad_alloc();
}

void TQtBitmap32::SetSize(int W, int H)
{
    CheckBitmapSize(W, H);
    if (W == 0 || H == 0) {
        Image = QImage();
        return;
    }
    // Our zeroed pixel memory rather than QImage's own: a large picture is then neither filled
    // before it is written nor faulted in page by page.
    auto* pixels = new TPixelMemory(size_t(W) * size_t(H) * 4);
    const auto cleanup = [](void* Info) { delete static_cast<TPixelMemory*>(Info); };
    QImage image(pixels->Data(), W, H, qsizetype(W) * 4, QImage::Format_ARGB32, cleanup, pixels);
    if (image.isNull()) {
        delete pixels;
        throw std::bad_alloc();
    }
    Image = std::move(image);
}

uint8_t* TQtBitmap32::ScanLine(int Row)
{
    RASTREL_ASSERT(Row >= 0 && Row < Image.height());
    return Image.scanLine(Row);
}

const uint8_t* TQtBitmap32::ScanLine(int Row) const
{
    RASTREL_ASSERT(Row >= 0 && Row < Image.height());
    return Image.constScanLine(Row);
}

std::unique_ptr<TBitmap32> TQtBitmap32::Clone() const
{
    auto copy = std::make_unique<TQtBitmap32>();
    copy->Assign(*this);
    return copy;
}

void InstallQtBitmap32()
{
    SetBitmap32Factory(
        [](int W, int H) -> std::unique_ptr<TBitmap32> { return std::make_unique<TQtBitmap32>(W, H); });
}

QImage Bitmap32AsImage(const TBitmap32& Source)
{
    if (Source.IsEmpty())
        return QImage();
    return QImage(Source.ScanLine(0), Source.Width(), Source.Height(), Source.BytesPerLine(),
                  QImage::Format_ARGB32);
}

namespace {
std::unique_ptr<TQtBitmap32> Decode(QImageReader& Reader, const std::string& What)
{
    // Scans of several hundred megabytes are ordinary here; our own size cap applies instead.
    Reader.setAllocationLimit(int(MaxBitmapPixels * 4 / (1024 * 1024)));
    const QSize size = Reader.size();
    if (size.isValid())
        CheckBitmapSize(size.width(), size.height());
    QImage image;
    if (!Reader.read(&image))
        throw ECADFileNotValid(What + ": " + Reader.errorString().toStdString());
    return std::make_unique<TQtBitmap32>(image);
}
} // namespace

std::unique_ptr<TQtBitmap32> DecodeBitmap32(const uint8_t* Data, size_t Size, const char* Format)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(Data), qsizetype(Size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, Format ? QByteArray(Format) : QByteArray());
    return Decode(reader, "Image not readable");
}

std::unique_ptr<TQtBitmap32> LoadBitmap32(const QString& FileName)
{
    QImageReader reader(FileName);
    return Decode(reader, "Image not readable: " + FileName.toStdString());
}
