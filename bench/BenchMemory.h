#pragma once
// The resident memory of this process, for the benchmarks that report what a structure costs.
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
