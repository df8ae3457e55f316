#include "FileReplace.h"

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

}  // namespace

void ReplaceFileContents(const std::string& FileName, const void* Data, size_t Size)
{
    std::string temp;
    const int fd = CreateBeside(FileName, temp);
    if (fd < 0)
        throw EFileReplace("create", errno);
    const auto fail = [&](const char* step, int err, bool open) {
        if (open)
            ::close(fd);
        ::unlink(temp.c_str());
        throw EFileReplace(step, err);
    };
    struct stat st {};
    if (::stat(FileName.c_str(), &st) == 0 && ::fchmod(fd, st.st_mode & 07777) != 0)
        fail("create", errno, true);
    if (!WriteAll(fd, static_cast<const char*>(Data), Size) || ::fsync(fd) != 0)
        fail("write", errno, true);
    if (::close(fd) != 0)
        fail("write", errno, false);
    if (::rename(temp.c_str(), FileName.c_str()) != 0)
        fail("rename", errno, false);
    // The rename itself reaches the disk with its folder.
    const int dir = ::open(FolderOf(FileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        static_cast<void>(::fsync(dir));
        ::close(dir);
    }
}
