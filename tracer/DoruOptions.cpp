#include "DoruOptions.h"

#include <charconv>
#include <cmath>

namespace {

bool ParseNumber(const std::string& text, double& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto res = std::from_chars(first, last, value);
    return res.ec == std::errc() && res.ptr == last && std::isfinite(value);
}

} // namespace

bool ParseDoruOptions(const std::vector<std::string>& args, TDoruOptions& o, std::string& error)
{
    bool haveOut = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-cline") {
            o.Params.CentreLine = true;
            continue;
        }
        if (a == "-et" || a == "-fi" || a == "-ct" || a == "-outfile") {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            const std::string& v = args[++i];
            if (a == "-outfile") {
                o.OutFile = v;
                haveOut = !v.empty();
                continue;
            }
            double x = 0;
            if (!ParseNumber(v, x)) {
                error = "option " + a + " needs a number, not '" + v + "'";
                return false;
            }
            if (a == "-et") {
                if (x <= 0 || x > 1000) {
                    error = "option -et must be above 0 and at most 1000, not " + v;
                    return false;
                }
                o.Params.ErrorThreshold = x;
            } else if (a == "-fi") {
                if (x < 0 || x > 5 || x != std::floor(x)) {
                    error = "option -fi must be a whole number from 0 to 5, not " + v;
                    return false;
                }
                o.Params.FilterIterations = int(x);
            } else {
                if (x < 0 || x > 180) {
                    error = "option -ct must be from 0 to 180 degrees, not " + v;
                    return false;
                }
                o.Params.CornerThreshold = x;
            }
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        }
        if (!o.InFile.empty()) {
            error = "more than one input file: " + o.InFile + " and " + a;
            return false;
        }
        o.InFile = a;
    }
    if (!haveOut) {
        error = "missing -outfile";
        return false;
    }
    if (o.InFile.empty()) {
        error = "missing input file";
        return false;
    }
    return true;
}
