#include "DxfWriter.h"

#include "FileReplace.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <streambuf>
#include <string_view>

namespace {

// Room for a number of any size as four decimals, and its line end.
constexpr size_t NumberRoom = 330;

// Locale-free: four decimals, trailing zeros dropped, then a line end; answers the end of
// what it wrote. A traced drawing writes millions of them: those in pixel range whose fourth
// decimal is no near tie are written from a whole number of ten-thousandths, the rest as the
// standard library rounds them (the same digits).
char* PutNumber(char* at, double v)
{
    const double scaled = v * 10000;
    const double fraction = scaled - std::floor(scaled);
    char* end;
    if (std::abs(scaled) < 1e9 && std::abs(fraction - 0.5) > 1e-6) {
        long long q = std::llround(scaled);
        if (q < 0) {
            *at++ = '-';
            q = -q;
        }
        char digits[24];
        int n = 0;
        for (long long whole = q / 10000; n == 0 || whole > 0; whole /= 10)
            digits[n++] = char('0' + whole % 10);
        while (n > 0)
            *at++ = digits[--n];
        int decimals = int(q % 10000), count = 4;
        for (; count > 0 && decimals % 10 == 0; --count)
            decimals /= 10;
        if (count > 0) {
            *at++ = '.';
            for (int k = count - 1; k >= 0; --k, decimals /= 10)
                at[k] = char('0' + decimals % 10);
            at += count;
        }
        end = at;
    } else {
        char* const start = at;
        end = std::to_chars(at, at + NumberRoom - 1, v, std::chars_format::fixed, 4).ptr;
        while (end > start && end[-1] == '0')
            --end;
        if (end > start && end[-1] == '.')
            --end;
    }
    if (end - at == 2 && at[0] == '-' && at[1] == '0') // a negative rounded to nothing
        at[0] = '0', end = at + 1;
    *end++ = '\n';
    return end;
}

// Appends text to the line buffer at.
char* PutText(char* at, std::string_view text)
{
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
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
    // Each entity's or vertex's lines gathered and written at once.
    std::array<char, 64 + 2 * NumberRoom> line;
    auto point = [&](std::string_view head, TVector2D p, std::string_view tail) {
        char* at = PutText(line.data(), head);
        at = PutNumber(at, p.X);
        at = PutText(at, "20\n");
        at = PutText(PutNumber(at, p.Y), tail);
        out.write(line.data(), at - line.data());
    };
    for (const TTracedPolyline& pl : result.Polylines) {
        if (pl.Points.size() == 1) {
            point("0\nPOINT\n8\n0\n10\n", pl.Points[0], "30\n0\n");
            continue;
        }
        out << "0\nPOLYLINE\n8\n0\n66\n1\n10\n0\n20\n0\n30\n0\n70\n" << (pl.Closed ? 1 : 0) << '\n';
        for (const TVector2D& v : pl.Points)
            point("0\nVERTEX\n8\n0\n10\n", v, "");
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
