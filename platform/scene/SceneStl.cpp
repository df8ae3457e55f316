#include "SceneStl.h"

#include "CADExceptions.h"
#include "FileReplace.h"
#include "QVStream.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>

namespace {
constexpr size_t StlHeaderSize = 80;
constexpr size_t StlRecordSize = 50;

TVector3f ReadVector(TStreamReader& R)
{
    TVector3f v;
    v.X = R.ReadSingle();
    v.Y = R.ReadSingle();
    v.Z = R.ReadSingle();
    return v;
}

void WriteVector(TStreamWriter& W, const TVector3f& V)
{
    W.WriteSingle(V.X);
    W.WriteSingle(V.Y);
    W.WriteSingle(V.Z);
}

// Whitespace-separated words of an ASCII STL file.
class TStlWords {
public:
    TStlWords(const char* Data, size_t Size) : P(Data), End(Data + Size) {}

    std::string_view Next()
    {
        while (P < End && std::isspace(static_cast<unsigned char>(*P)))
            ++P;
        const char* start = P;
        while (P < End && !std::isspace(static_cast<unsigned char>(*P)))
            ++P;
        return {start, size_t(P - start)};
    }

    void SkipLine()
    {
        while (P < End && *P != '\n')
            ++P;
    }

    void Expect(std::string_view Word)
    {
        const std::string_view w = Next();
        if (w != Word)
            Fail(std::string("\"").append(Word).append("\" expected, found \"").append(w.substr(0, 40)).append("\""));
    }

    float Number()
    {
        const std::string_view w = Next();
        float v = 0;
        const auto r = std::from_chars(w.data(), w.data() + w.size(), v);
        if (w.empty() || r.ec != std::errc() || r.ptr != w.data() + w.size() || !std::isfinite(v))
            Fail("number expected, found \"" + std::string(w.substr(0, 40)) + "\"");
        return v;
    }

    TVector3f Vector()
    {
        TVector3f v;
        v.X = Number();
        v.Y = Number();
        v.Z = Number();
        return v;
    }

    [[noreturn]] static void Fail(const std::string& Why)
    {
        throw ECADFileNotValid("Invalid ASCII STL data: " + Why);
    }

private:
    const char* P;
    const char* End;
};

std::vector<TMeshTriangle> ReadAsciiStl(const char* Data, size_t Size)
{
    TStlWords words(Data, Size);
    std::vector<TMeshTriangle> out;
    std::string_view w = words.Next();
    if (w != "solid")
        TStlWords::Fail("\"solid\" expected");
    words.SkipLine(); // the solid's name
    for (;;) {
        w = words.Next();
        if (w == "facet") {
            TMeshTriangle t;
            words.Expect("normal");
            t.Normal = words.Vector();
            words.Expect("outer");
            words.Expect("loop");
            for (auto& v : t.V) {
                words.Expect("vertex");
                v = words.Vector();
            }
            words.Expect("endloop");
            words.Expect("endfacet");
            out.push_back(t);
        } else if (w == "endsolid") {
            words.SkipLine();
            w = words.Next();
            if (w.empty())
                return out;
            if (w != "solid") // several solids follow one another
                TStlWords::Fail("\"solid\" expected after \"endsolid\"");
            words.SkipLine();
        } else if (w.empty()) {
            TStlWords::Fail("\"endsolid\" missing");
        } else {
            TStlWords::Fail("\"facet\" or \"endsolid\" expected, found \"" + std::string(w.substr(0, 40)) +
                            "\"");
        }
    }
}

bool StartsWithSolid(const uint8_t* Data, size_t Size)
{
    size_t i = 0;
    while (i < Size && std::isspace(Data[i]))
        ++i;
    return Size - i >= 5 && std::string_view(reinterpret_cast<const char*>(Data) + i, 5) == "solid";
}
} // namespace

TVector3f TriangleNormal(const TVector3f& A, const TVector3f& B, const TVector3f& C)
{
    const double ux = double(B.X) - A.X, uy = double(B.Y) - A.Y, uz = double(B.Z) - A.Z;
    const double vx = double(C.X) - A.X, vy = double(C.Y) - A.Y, vz = double(C.Z) - A.Z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (len == 0 || !std::isfinite(len))
        return {};
    return {float(nx / len), float(ny / len), float(nz / len)};
}

std::vector<TMeshTriangle> ReadStlBlock(TStreamReader& R)
{
    R.SetContext("STL block");
    R.Skip(StlHeaderSize);
    const uint32_t n = R.ReadUInt32();
    R.CheckCount(n, StlRecordSize, "STL triangles");
    std::vector<TMeshTriangle> out(n);
    for (auto& t : out) {
        t.Normal = ReadVector(R);
        for (auto& v : t.V)
            v = ReadVector(R);
        R.Skip(2); // attribute bytes
    }
    return out;
}

std::vector<TMeshTriangle> ReadStlBytes(const uint8_t* Data, size_t Size)
{
    if (Size >= StlHeaderSize + 4) {
        TStreamReader probe(Data, Size);
        probe.Skip(StlHeaderSize);
        const uint64_t n = probe.ReadUInt32();
        if (StlHeaderSize + 4 + n * StlRecordSize == Size) {
            TStreamReader r(Data, Size);
            return ReadStlBlock(r);
        }
    }
    if (StartsWithSolid(Data, Size))
        return ReadAsciiStl(reinterpret_cast<const char*>(Data), Size);
    TStreamReader r(Data, Size);
    return ReadStlBlock(r);
}

std::vector<TMeshTriangle> ReadStlFile(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        throw ECADFileNotValid("Cannot open the STL file \"" + FileName + "\"");
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw ECADFileNotValid("Cannot read the STL file \"" + FileName + "\"");
    return ReadStlBytes(bytes.data(), bytes.size());
}

void WriteStlBlock(TStreamWriter& W, const std::vector<TMeshTriangle>& Triangles, const std::string& Header)
{
    char header[StlHeaderSize] = {};
    size_t n = 0;
    for (char c : Header)
        if (n < StlHeaderSize && static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127)
            header[n++] = c;
    W.WriteBytes(header, StlHeaderSize);
    W.WriteUInt32(uint32_t(Triangles.size()));
    for (const auto& t : Triangles) {
        WriteVector(W, TriangleNormal(t.V[0], t.V[1], t.V[2]));
        for (const auto& v : t.V)
            WriteVector(W, v);
        W.WriteUInt16(0);
    }
}

void WriteStlFile(const std::string& FileName, const std::vector<TMeshTriangle>& Triangles)
{
    TStreamWriter w;
    WriteStlBlock(w, Triangles, "Rastrel STL");
    try {
        ReplaceFileContents(FileName, w.Bytes().data(), w.Size());
    } catch (const EFileReplace&) {
        throw ECADFileNotValid("Cannot write the STL file \"" + FileName + "\"");
    }
}
