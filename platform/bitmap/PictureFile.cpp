#include "PictureFile.h"

#include "BmpDecoder.h"
#include "CADExceptions.h"
#include "JpegDecoder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TFd {
    int Fd;
    ~TFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

[[noreturn]] void FileError(const char* What, const std::string& FileName, int Err)
{
    throw ECADCoreException(std::string(What) + " \"" + FileName + "\": " + std::strerror(Err));
}

} // namespace

std::vector<uint8_t> ReadFileBytes(const std::string& FileName)
{
    const TFd fd{::open(FileName.c_str(), O_RDONLY | O_CLOEXEC)};
    if (fd.Fd < 0)
        FileError("Cannot open the file", FileName, errno);
    struct stat st {};
    if (::fstat(fd.Fd, &st) != 0)
        FileError("Cannot read the file", FileName, errno);
    if (S_ISDIR(st.st_mode))
        FileError("Cannot read the file", FileName, EISDIR);
    std::vector<uint8_t> bytes;
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        bytes.reserve(static_cast<size_t>(st.st_size));
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.Fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FileError("Cannot read the file", FileName, errno);
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

std::unique_ptr<TBitmap32> ReadBmpFile(const std::string& FileName, const TPictureProgress& Progress)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(FileName);
    const TBmpDecoder bmp(
        [&bytes](uint64_t Offset, void* Dest, size_t Size) {
            if (Offset > bytes.size() || Size > bytes.size() - Offset)
                throw ECADFileNotValid("invalid BMP file: cut short");
            std::memcpy(Dest, bytes.data() + Offset, Size);
        },
        bytes.size());
    auto bitmap = NewBitmap32(bmp.Width(), bmp.Height());
    int done = 0;
    bmp.ReadRows([&](int Row, const uint8_t* Stored) {
        bmp.DecodeRow(Stored, bitmap->ScanLine(Row));
        if (Progress && (++done % 64 == 0 || done == bmp.Height()))
            Progress(done, bmp.Height());
    });
    return bitmap;
}

std::unique_ptr<TBitmap32> ReadJpegFile(const std::string& FileName, const TPictureProgress& Progress)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(FileName);
    return DecodeJpeg(bytes.data(), bytes.size(), Progress);
}
