#include "FileReplace.h"

#include "CADExceptions.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

EFileReplace::EFileReplace(const char* step, int err)
    : std::runtime_error(std::string(step) + ": " + std::strerror(err)), Step(step), Err(err)
{
}

namespace {

std::string FolderOf(const std::string& fileName)
{
    const size_t slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

// A new file with a name of its own beside fileName; O_EXCL keeps two savers apart.
int CreateBeside(const std::string& fileName, std::string& tempName)
{
    std::random_device seed;
    std::mt19937 rng(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = fileName + "." + std::to_string(rng() % 1000000) + ".tmp";
        // Mode 0666 lets the umask decide, as for any new file.
        const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Pieces smaller than this gather before they reach the file.
constexpr size_t BufferSize = size_t(1) << 16;

}  // namespace

TFileReplace::TFileReplace(std::string FileName) : Target(std::move(FileName))
{
    Fd = CreateBeside(Target, Temp);
    if (Fd < 0)
        throw EFileReplace("create", errno);
    struct stat st {};
    if (::stat(Target.c_str(), &st) == 0 && ::fchmod(Fd, st.st_mode & 07777) != 0)
        Fail("create", errno);
    Pending.reserve(BufferSize);
}

TFileReplace::~TFileReplace()
{
    if (Fd >= 0)
        ::close(Fd);
    if (!Temp.empty())
        ::unlink(Temp.c_str());
}

void TFileReplace::Fail(const char* Step, int Err)
{
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
    ::unlink(Temp.c_str());
    Temp.clear();
    throw EFileReplace(Step, Err);
}

void TFileReplace::Flush()
{
    if (!Pending.empty() && !WriteAll(Fd, Pending.data(), Pending.size()))
        Fail("write", errno);
    Pending.clear();
}

void TFileReplace::Write(const void* Data, size_t Size)
{
    RASTREL_ASSERT(Fd >= 0);
    const char* bytes = static_cast<const char*>(Data);
    if (Pending.size() + Size > BufferSize) {
        Flush();
        if (Size >= BufferSize) {
            if (!WriteAll(Fd, bytes, Size))
                Fail("write", errno);
            return;
        }
    }
    Pending.insert(Pending.end(), bytes, bytes + Size);
}

void TFileReplace::WriteAt(size_t Offset, const void* Data, size_t Size)
{
    RASTREL_ASSERT(Fd >= 0);
    // What is still gathered goes first, so that the offset lies in the file.
    Flush();
    const char* bytes = static_cast<const char*>(Data);
    size_t done = 0;
    while (done < Size) {
        const ssize_t n = ::pwrite(Fd, bytes + done, Size - done, static_cast<off_t>(Offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("write", n == 0 ? EIO : errno);
        done += static_cast<size_t>(n);
    }
}

void TFileReplace::Rewrite()
{
    RASTREL_ASSERT(Fd >= 0);
    Pending.clear();
    if (::ftruncate(Fd, 0) != 0 || ::lseek(Fd, 0, SEEK_SET) != 0)
        Fail("write", errno);
}

void TFileReplace::Commit()
{
    RASTREL_ASSERT(Fd >= 0);
    Flush();
    if (::fsync(Fd) != 0)
        Fail("write", errno);
    const int fd = Fd;
    Fd = -1;
    if (::close(fd) != 0)
        Fail("write", errno);
    if (::rename(Temp.c_str(), Target.c_str()) != 0)
        Fail("rename", errno);
    Temp.clear();
    // The rename itself reaches the disk with its folder.
    const int dir = ::open(FolderOf(Target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        static_cast<void>(::fsync(dir));
        ::close(dir);
    }
}

void ReplaceFileContents(const std::string& FileName, const void* Data, size_t Size)
{
    TFileReplace file(FileName);
    file.Write(Data, Size);
    file.Commit();
}
