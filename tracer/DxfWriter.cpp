#include "DxfWriter.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Locale-free: four decimals, trailing zeros dropped.
void PutNumber(std::ostream& out, double v)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    char* end = res.ptr;
    while (end > buf && end[-1] == '0')
        --end;
    if (end > buf && end[-1] == '.')
        --end;
    if (end - buf == 2 && buf[0] == '-' && buf[1] == '0')
        buf[0] = '0', end = buf + 1;
    out.write(buf, end - buf);
    out.put('\n');
}

} // namespace

void WriteDxf(std::ostream& out, const TTraceResult& result)
{
    out << "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (const TTracedPolyline& pl : result.Polylines) {
        out << "0\nPOLYLINE\n8\n0\n66\n1\n10\n0\n20\n0\n30\n0\n70\n" << (pl.Closed ? 1 : 0) << '\n';
        for (const TVector2D& v : pl.Points) {
            out << "0\nVERTEX\n8\n0\n10\n";
            PutNumber(out, v.X);
            out << "20\n";
            PutNumber(out, v.Y);
        }
        out << "0\nSEQEND\n8\n0\n";
    }
    out << "0\nENDSEC\n0\nEOF\n";
}

std::string SaveDxfFile(const std::string& path, const TTraceResult& result)
{
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return "cannot write " + path + ": " + std::strerror(errno);
    // mkstemp makes the file private; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    std::string error;
    {
        std::vector<char> buffer(1 << 20);
        std::ofstream out;
        out.rdbuf()->pubsetbuf(buffer.data(), std::streamsize(buffer.size()));
        out.open(temp, std::ios::binary | std::ios::trunc);
        errno = 0;
        if (out)
            WriteDxf(out, result);
        out.close();
        if (!out)
            error = "cannot write " + path + ": " + std::strerror(errno ? errno : EIO);
    }
    if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0)
        error = "cannot write " + path + ": " + std::strerror(errno);
    if (!error.empty())
        std::remove(temp.c_str());
    return error;
}
