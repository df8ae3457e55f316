#pragma once
// First-use figures: a measurement run in a child process made for it meets memory as the first
// use in a new program does (nothing freed earlier to reuse), and beside it the cost of taking
// the same number of new pages from the kernel, which on some machines is most of the time.
// Only for benchmarks without a display: a GL context does not survive fork.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

// What one measured section took: wall time and the pages it took new from the kernel (minor
// page faults, each a 4 KiB page touched for the first time, and the growth of the huge pages,
// which a single fault brings in 2 MiB at a time).
struct TFirstUse {
    double Seconds = 0;
    double NewPages = 0;
    double NewBytes() const { return NewPages * 4096; }
};

inline double Since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Drops the file's pages from the page cache, so the next read comes from the disk, as the first
// read of a file after a while does.
inline void Evict(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

inline long MinorFaults()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_minflt;
}

// The process's anonymous memory held in huge pages, in 4 KiB pages.
inline double HugePages4K()
{
    std::FILE* f = std::fopen("/proc/self/smaps_rollup", "r");
    if (!f)
        return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "AnonHugePages: %lf kB", &kb) == 1)
            break;
    std::fclose(f);
    return kb / 4;
}

// Times Section and counts the pages it touched first.
inline TFirstUse MeasureFirstUse(const std::function<void()>& Section)
{
    const long faults = MinorFaults();
    const double huge = HugePages4K();
    const auto t0 = std::chrono::steady_clock::now();
    Section();
    TFirstUse r;
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.NewPages = double(MinorFaults() - faults) + (HugePages4K() - huge);
    return r;
}

// Seconds to map Bytes of new memory and write one byte into each of its pages.
inline double FreshMemorySeconds(size_t Bytes)
{
    if (Bytes == 0)
        return 0;
    const auto t0 = std::chrono::steady_clock::now();
    void* p = ::mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        std::abort();
    auto* bytes = static_cast<volatile uint8_t*>(p);
    for (size_t i = 0; i < Bytes; i += 4096)
        bytes[i] = 1;
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ::munmap(p, Bytes);
    return s;
}

// Runs Measure in a new child process and hands back what it answered there.
inline TFirstUse InFreshProcess(const std::function<TFirstUse()>& Measure)
{
    int fds[2];
    if (::pipe(fds) != 0)
        std::abort();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        std::abort();
    if (child == 0) {
        ::close(fds[0]);
        const TFirstUse r = Measure();
        const bool sent = ::write(fds[1], &r, sizeof r) == ssize_t(sizeof r);
        std::fflush(nullptr);
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    TFirstUse r;
    const bool got = ::read(fds[0], &r, sizeof r) == ssize_t(sizeof r);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the measuring process failed\n");
        std::abort();
    }
    return r;
}
