#include "DxfWriter.h"

#include "FileReplace.h"

#include <array>
#include <charconv>
#include <cstring>
#include <streambuf>

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

// The stream WriteDxf writes into: it gathers the many small pieces and hands them to the new
// file in large runs.
class TFileReplaceBuf : public std::streambuf {
public:
    explicit TFileReplaceBuf(TFileReplace& file) : File(file)
    {
        setp(Buffer.data(), Buffer.data() + Buffer.size());
    }

    // Hands over what is gathered.
    void Drain()
    {
        File.Write(pbase(), size_t(pptr() - pbase()));
        setp(Buffer.data(), Buffer.data() + Buffer.size());
    }

protected:
    int_type overflow(int_type c) override
    {
        Drain();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

private:
    TFileReplace& File;
    std::array<char, 1 << 16> Buffer;
};

} // namespace

void WriteDxf(std::ostream& out, const TTraceResult& result)
{
    out << "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n";
    for (const TTracedPolyline& pl : result.Polylines) {
        if (pl.Points.size() == 1) {
            out << "0\nPOINT\n8\n0\n10\n";
            PutNumber(out, pl.Points[0].X);
            out << "20\n";
            PutNumber(out, pl.Points[0].Y);
            out << "30\n0\n";
            continue;
        }
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
    try {
        TFileReplace file(path);
        TFileReplaceBuf buffer(file);
        std::ostream out(&buffer);
        // A failed write comes out of the stream as the helper's own exception.
        out.exceptions(std::ios::badbit);
        WriteDxf(out, result);
        buffer.Drain();
        file.Commit();
    } catch (const EFileReplace& e) {
        return "cannot write " + path + ": " + std::strerror(e.Err);
    }
    return "";
}
