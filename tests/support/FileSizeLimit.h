#pragma once
// Files beyond a size cannot be written while a TFileSizeLimit lives: a write past it fails with
// EFBIG, as on a full disk, without filling one.
#include <csignal>
#include <sys/resource.h>

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &Saved);
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, Saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, OldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit Saved{};
    void (*OldHandler)(int) = nullptr;
};
