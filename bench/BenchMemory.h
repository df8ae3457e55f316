#pragma once
// The resident memory of this process, for the benchmarks that report what a structure costs.
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>

inline double RssMiB()
{
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            in >> kb;
            return kb / 1024;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

// Pages this process has faulted in so far without reading a file (each a fresh page taken from
// the system), counted in MiB.
inline double FaultedInMiB()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_minflt) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}
