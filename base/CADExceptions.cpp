#include "CADExceptions.h"

#include <cstdio>
#include <cstdlib>

void RastrelAssertFailed(const char* expr, const char* file, int line)
{
    std::fprintf(stderr, "rastrel: internal error: %s (%s:%d)\n", expr, file, line);
    std::abort();
}
