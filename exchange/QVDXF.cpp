#include "QVDXF.h"

#include "CADExceptions.h"
#include "Cp1252.h"
#include "DXFCodePages.h"
#include "FileReplace.h"
#include "QVLanguage.h"
#include "QVServices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

struct TCodeRange {
    int First, Last;
    TDXFGroupKind Kind;
};

// Codes outside these ranges hold text kept exactly as read.
constexpr TCodeRange CodeRanges[] = {
    {0, 9, TDXFGroupKind::Text},          {10, 59, TDXFGroupKind::Real},
    {60, 79, TDXFGroupKind::Integer},     {140, 147, TDXFGroupKind::Real},
    {170, 175, TDXFGroupKind::Integer},   {210, 239, TDXFGroupKind::Real},
    {999, 1009, TDXFGroupKind::Text},     {1010, 1059, TDXFGroupKind::Real},
    {1060, 1079, TDXFGroupKind::Integer},
};

// Blanks as the old text-file routines saw them: every control character and the space.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool IsValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        uint32_t cp = 0, min = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            n = 1, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            n = 2, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            n = 3, cp = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + n >= s.size())
            return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// At most Max characters of UTF-8 text, never splitting a character.
std::string_view CutCharacters(std::string_view s, size_t Max)
{
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == Max)
                return s.substr(0, i);
            ++count;
        }
    }
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const char* SectionName(TDXFSection Kind)
{
    switch (Kind) {
    case TDXFSection::Header: return "HEADER";
    case TDXFSection::Tables: return "TABLES";
    case TDXFSection::Blocks: return "BLOCKS";
    case TDXFSection::Entities: return "ENTITIES";
    case TDXFSection::Classes: return "CLASSES";
    case TDXFSection::None: break;
    }
    RASTREL_ASSERT(!"a section to write has a name");
    return "";
}

constexpr size_t ReadChunk = size_t(1) << 20;
// What is read beyond the known end of a file, should it have grown.
constexpr size_t SmallPiece = 4096;

// The first '\n' in [p, end), or null. Most lines of a file are a few bytes long: their end is
// found among the next 16 bytes, eight at a time, sooner than a call to memchr finds it.
const char* FindLineEnd(const char* p, const char* end)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t Ones = 0x0101010101010101u, Highs = 0x8080808080808080u;
        for (int word = 0; word < 2 && end - p >= 8; ++word, p += 8) {
            uint64_t w;
            std::memcpy(&w, p, sizeof w);
            w ^= Ones * '\n';
            // The lowest high bit set marks the first zero byte, that is the first '\n'.
            const uint64_t zero = (w - Ones) & ~w & Highs;
            if (zero)
                return p + std::countr_zero(zero) / 8;
        }
    }
    return p == end ? nullptr : static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
}
constexpr size_t MaxTextLength = 255;

// The bytes at the start of a file that tell what it is when it is not DXF.
constexpr size_t HeadBytes = 4096;

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// Text of UTF-16 without a byte-order mark: of the first bytes, those at every other place
// are 0 (the high bytes of Latin letters and digits), the others not.
bool LooksLikeUtf16(std::string_view Head)
{
    const size_t pairs = std::min<size_t>(Head.size(), 512) / 2;
    if (pairs < 2)
        return false;
    size_t zeroEven = 0, zeroOdd = 0;
    for (size_t i = 0; i < pairs; ++i) {
        zeroEven += Head[2 * i] == '\0';
        zeroOdd += Head[2 * i + 1] == '\0';
    }
    const auto most = [pairs](size_t n) { return n * 10 >= pairs * 9; };
    const auto few = [pairs](size_t n) { return n * 10 <= pairs; };
    return (most(zeroOdd) && few(zeroEven)) || (most(zeroEven) && few(zeroOdd));
}

// What the start of a file is when it cannot start a DXF file, which begins with a line holding
// a group code ("it is a PNG picture"); empty when it can.
std::string NotDxfReason(std::string_view Head)
{
    if (StartsWith(Head, std::string_view("\xFF\xFE\0\0", 4)) ||
        StartsWith(Head, std::string_view("\0\0\xFE\xFF", 4)))
        return "it holds UTF-32 text, and DXF files are text of one byte a character";
    if (StartsWith(Head, "\xFF\xFE") || StartsWith(Head, "\xFE\xFF") || LooksLikeUtf16(Head))
        return "it holds UTF-16 text, and DXF files are text of one byte a character";
    // The first line that is not blank.
    std::string_view line;
    for (size_t at = 0; at < Head.size();) {
        const size_t end = std::min(Head.find('\n', at), Head.size());
        line = Trim(Head.substr(at, end - at));
        at = end + 1;
        if (!line.empty())
            break;
    }
    int32_t code = 0;
    if (line.empty() ||
        ParseDXFInteger(line.substr(0, static_cast<size_t>(std::find_if(line.begin(), line.end(), IsBlank) -
                                                           line.begin())),
                        code))
        return {};
    static constexpr std::pair<std::string_view, const char*> Kinds[] = {
        {"\x89PNG", "a PNG picture"},
        {"\xFF\xD8\xFF", "a JPEG picture"},
        {"BM", "a BMP picture"},
        {"GIF8", "a GIF picture"},
        {"%PDF", "a PDF document"},
        {"PK\x03\x04", "a ZIP archive"},
        {"AC10", "a DWG drawing: save it as a DXF file in the program that made it"},
        {"QV-", "a drawing file of this program (*.pnc)"},
        {"<?xml", "an XML file"},
        {"<svg", "an SVG picture"},
        {"solid", "an STL surface"},
    };
    for (const auto& [magic, kind] : Kinds)
        if (StartsWith(Head, magic))
            return std::string("it is ") + kind;
    const auto control = [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v';
    };
    const auto controls = static_cast<size_t>(std::count_if(Head.begin(), Head.end(), control));
    if (Head.find('\0') != std::string_view::npos || controls * 100 > Head.size())
        return "it holds binary data";
    const std::string text = IsValidUtf8(line) ? std::string(line) : Windows1252ToUtf8(line);
    const std::string_view shown = CutCharacters(text, 40);
    return "its first line, \"" + std::string(shown) + (shown.size() < text.size() ? "...\"" : "\"") +
           ", is not a group code";
}

} // namespace

namespace {

// Every pair asks for its kind, so the ranges are spread into a table by code at compile time.
constexpr size_t KindTableSize = 1080;
static_assert(std::size(CodeRanges) > 0 &&
              CodeRanges[std::size(CodeRanges) - 1].Last < static_cast<int>(KindTableSize));
constexpr auto KindByCode = [] {
    std::array<TDXFGroupKind, KindTableSize> t{};
    t.fill(TDXFGroupKind::RawText);
    for (const TCodeRange& r : CodeRanges)
        for (int c = r.First; c <= r.Last; ++c)
            t[static_cast<size_t>(c)] = r.Kind;
    return t;
}();

} // namespace

TDXFGroupKind DXFGroupKind(int Code)
{
    return Code >= 0 && static_cast<size_t>(Code) < KindByCode.size() ? KindByCode[static_cast<size_t>(Code)]
                                                                      : TDXFGroupKind::RawText;
}

namespace {

// The exact powers of ten a double holds.
constexpr double ExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The form nearly every value of a file has, "-123.456" without blanks, read without copying.
// False, leaving the value to the general reading, for any other form and where the digits do
// not fit the exact case: a whole number of at most 2^53 divided by a power of ten up to 10^22
// is a single division of two exact doubles, rounded as the general reading rounds.
bool ParsePlainDecimal(std::string_view s, double& Value)
{
    const char* p = s.data();
    const char* const end = p + s.size();
    const bool negative = p != end && *p == '-';
    if (negative)
        ++p;
    // Unsigned, so that too many digits only wrap; they are refused below.
    uint64_t mantissa = 0;
    const char* const whole = p;
    for (; p != end && IsDigit(*p); ++p)
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    const size_t wholeDigits = static_cast<size_t>(p - whole);
    size_t decimals = 0;
    if (p != end && *p == '.') {
        const char* const fraction = ++p;
        for (; p != end && IsDigit(*p); ++p)
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        decimals = static_cast<size_t>(p - fraction);
    }
    if (p != end || wholeDigits == 0 || wholeDigits + decimals > 19 || mantissa > (uint64_t(1) << 53) ||
        decimals >= std::size(ExactPowersOfTen))
        return false;
    const double v = static_cast<double>(mantissa) / ExactPowersOfTen[decimals];
    Value = negative ? -v : v;
    return true;
}

// "-123" without blanks in at most 9 digits, which cannot overflow; false for any other form.
bool ParsePlainInteger(std::string_view s, int32_t& Value)
{
    const bool negative = !s.empty() && s[0] == '-';
    const size_t first = negative ? 1 : 0;
    if (s.size() <= first || s.size() - first > 9)
        return false;
    int32_t v = 0;
    for (size_t i = first; i < s.size(); ++i) {
        if (!IsDigit(s[i]))
            return false;
        v = v * 10 + (s[i] - '0');
    }
    Value = negative ? -v : v;
    return true;
}

} // namespace

bool ParseDXFReal(std::string_view Line, double& Value)
{
    if (ParsePlainDecimal(Line, Value))
        return true;
    std::string_view s = Trim(Line);
    const bool hasPoint = s.find('.') != std::string_view::npos;
    const bool hasComma = s.find(',') != std::string_view::npos;
    if (s.empty() || (hasPoint && hasComma))
        return false;
    if (s[0] == '+')
        s.remove_prefix(1);
    const size_t first = (!s.empty() && s[0] == '-') ? 1 : 0;
    // Digits or a point must start the number: no "inf", "nan" or second sign.
    if (first >= s.size() || !(IsDigit(s[first]) || s[first] == '.' || s[first] == ','))
        return false;
    char local[64];
    std::string heap;
    char* text = local;
    if (s.size() > sizeof(local)) {
        heap.assign(s);
        text = heap.data();
    } else {
        std::memcpy(local, s.data(), s.size());
    }
    if (hasComma)
        std::replace(text, text + s.size(), ',', '.');
    double v = 0;
    const auto [end, ec] = std::from_chars(text, text + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != text + s.size())
        return false;
    Value = v;
    return true;
}

namespace {

// What a value that ParseDXFReal refuses stands for when it is a real all the same: "nan",
// "inf" or "infinity" of either case and sign, or a number beyond the range of a double.
bool ParseDXFNonFinite(std::string_view Line, double& Value)
{
    std::string_view s = Trim(Line);
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+'))
        s.remove_prefix(1);
    constexpr double Infinity = std::numeric_limits<double>::infinity();
    if (EqualsNoCase(s, "nan")) {
        Value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (EqualsNoCase(s, "inf") || EqualsNoCase(s, "infinity")) {
        Value = negative ? -Infinity : Infinity;
        return true;
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc::result_out_of_range || end != s.data() + s.size() || s.empty() || !IsDigit(s[0]))
        return false;
    // Too small a number is 0; too large one infinite.
    const size_t e = s.find_first_of("eE");
    const bool tiny = e != std::string_view::npos && e + 1 < s.size() && s[e + 1] == '-';
    Value = tiny ? 0 : negative ? -Infinity : Infinity;
    return true;
}

} // namespace

bool ParseDXFInteger(std::string_view Line, int32_t& Value)
{
    if (ParsePlainInteger(Line, Value))
        return true;
    std::string_view s = Trim(Line);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    const size_t first = (!s.empty() && s[0] == '-') ? 1 : 0;
    if (first >= s.size() || !IsDigit(s[first]))
        return false;
    int32_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return false;
    Value = v;
    return true;
}

std::string DXFFileErrorText(const std::string& FileName, int Errno)
{
    return "\"" + FileName + "\": " + std::strerror(Errno);
}

// ---- Values and records --------------------------------------------------------------------

void TDXFValue::Clear()
{
    Kind = TKind::Empty;
    Text.clear();
    Real = 0;
    Integer = 0;
}

void TDXFValue::SetText(std::string_view S)
{
    Kind = TKind::Text;
    Text.assign(S);
}

void TDXFValue::SetReal(double V)
{
    Kind = TKind::Real;
    Real = V;
}

void TDXFValue::SetInteger(int32_t V)
{
    Kind = TKind::Integer;
    Integer = V;
}

int TDXFRecord::SlotOf(int Code)
{
    if (Code >= 0 && Code <= 255)
        return Code;
    if (Code >= 1000 && Code <= 1256)
        return Code - 744;
    return -1;
}

const TDXFValue& TDXFRecord::Group(int Code) const
{
    static const TDXFValue Empty;
    const int slot = SlotOf(Code);
    return slot < 0 ? Empty : Slots[static_cast<size_t>(slot)];
}

void TDXFRecord::Store(int Slot, const TDXFValue& Value)
{
    RASTREL_ASSERT(Slot >= 0 && Slot < SlotCount);
    TDXFValue& v = Slots[static_cast<size_t>(Slot)];
    if (!v.IsPresent())
        Stored.push_back(static_cast<uint16_t>(Slot));
    v = Value;
}

void TDXFRecord::Clear()
{
    for (uint16_t slot : Stored)
        Slots[slot].Clear();
    Stored.clear();
}

// ---- Reader --------------------------------------------------------------------------------

TDXFRead::TDXFRead(const std::string& FileName, bool TellUser_) : Name(FileName), TellUser(TellUser_)
{
    FromFile = true;
    File = std::fopen(FileName.c_str(), "rb");
    if (!File) {
        Fail(" error raised, with message: " + DXFFileErrorText(FileName, errno));
        return;
    }
    struct stat st {};
    if (::fstat(::fileno(File), &st) == 0 && st.st_size > 0)
        Size = static_cast<uint64_t>(st.st_size);
    Start();
}

std::unique_ptr<TDXFRead> TDXFRead::FromText(std::string_view Text)
{
    std::unique_ptr<TDXFRead> r(new TDXFRead());
    r->Buffer.assign(Text.begin(), Text.end());
    r->Size = Text.size();
    r->Start();
    return r;
}

TDXFRead::~TDXFRead()
{
    DropReadAhead();
    if (File)
        std::fclose(File);
}

void TDXFRead::Fail(const std::string& Text)
{
    Failed = true;
    ErrorMessage = Text;
    Ended = true;
    Code = 0;
    Value.Clear();
    if (TellUser)
        MainWindow().MessageBox(ErrorMessage, GetLangString(450), TMsgIcon::None, TMsgButtons::Ok);
}

void TDXFRead::Start()
{
    Failed = false;
    ErrorMessage.clear();
    OutOfRangeReals = 0;
    Pos = 0;
    Ended = false;
    LineNumber = 0;
    PendingVariable = 0;
    VersionIsUtf8 = false;
    CodePage = TDXFCodePage::Windows1252;
    Decoder.reset();
    SectionsFound = false;
    InSection = false;
    EndMarker = false;
    OpenSectionName.clear();
    Code = 0;
    Value.Clear();
    if (File) {
        DropReadAhead();
        Filled = 0;
        BytesRead = 0;
        InputDone = false;
        std::rewind(File);
    } else {
        Filled = Buffer.size();
        InputDone = true;
    }
    try {
        // A byte-order mark may precede the first code; the start of the file tells whether it
        // is DXF at all.
        if (Filled < HeadBytes)
            Refill();
        if (std::string_view(Buffer.data(), std::min<size_t>(3, Filled)) == "\xEF\xBB\xBF")
            Pos = 3;
        // Binary DXF starts with this sentinel; its pairs are not lines at all.
        static constexpr std::string_view BinarySentinel = "AutoCAD Binary DXF";
        if (std::string_view(Buffer.data(), std::min(BinarySentinel.size(), Filled)) == BinarySentinel) {
            Fail("This is a binary DXF file, which cannot be read. Save the drawing as an ASCII DXF file "
                 "and open that one.");
            return;
        }
        const std::string notDxf =
            NotDxfReason(std::string_view(Buffer.data() + Pos, std::min(Filled - Pos, HeadBytes)));
        if (!notDxf.empty()) {
            Fail((Name.empty() ? std::string("The text") : "\"" + Name + "\"") +
                 " is not a DXF file: " + notDxf + ".");
            return;
        }
        ReadGroup();
        NextSection();
    } catch (const std::exception& e) {
        Fail(std::string(" error raised, with message: ") + e.what());
    }
}

void TDXFRead::Rewind()
{
    if (File || !FromFile)
        Start();
}

size_t TDXFRead::ReadPiece(char* To, size_t Max)
{
    const size_t n = std::fread(To, 1, Max, File);
    if (n == 0 && std::ferror(File))
        throw ECADFileNotValid(std::string("Cannot read the DXF file: ") + std::strerror(errno));
    return n;
}

size_t TDXFRead::NextPieceSize() const
{
    // A file of known size is read in pieces up to its end and one byte beyond, so that a short
    // piece tells the end without another read, and a small file takes small buffers.
    if (Size == 0)
        return ReadChunk;
    return BytesRead < Size ? static_cast<size_t>(std::min<uint64_t>(ReadChunk, Size - BytesRead + 1))
                            : SmallPiece;
}

void TDXFRead::ReadAhead()
{
    AheadBuffer.resize(NextPieceSize());
    try {
        Ahead = std::async(std::launch::async,
                           [this] { return ReadPiece(AheadBuffer.data(), AheadBuffer.size()); });
    } catch (const std::system_error&) {
        // No thread: the next piece is read when it is needed.
    }
}

void TDXFRead::DropReadAhead() noexcept
{
    if (!Ahead.valid())
        return;
    try {
        Ahead.get();
    } catch (const std::exception&) {
        // The piece is not wanted any more, nor its error.
    }
}

bool TDXFRead::Refill()
{
    if (InputDone)
        return false;
    // Keep the unread tail, growing the buffer only for a line longer than what it holds.
    if (Pos > 0) {
        std::memmove(Buffer.data(), Buffer.data() + Pos, Filled - Pos);
        Filled -= Pos;
        Pos = 0;
    }
    const size_t piece = Ahead.valid() ? AheadBuffer.size() : NextPieceSize();
    if (Buffer.size() - Filled < piece)
        Buffer.resize(std::max(Buffer.size() * 2, Filled + piece));
    size_t n = 0;
    if (Ahead.valid()) {
        n = Ahead.get();
        std::memcpy(Buffer.data() + Filled, AheadBuffer.data(), n);
    } else {
        n = ReadPiece(Buffer.data() + Filled, piece);
    }
    Filled += n;
    BytesRead += n;
    // A piece shorter than asked for ends the file.
    InputDone = n < piece;
    if (n == 0)
        return false;
    // Copying a piece out of the file costs about as much as reading it: the next one is read
    // on another thread while this one is taken apart.
    if (!InputDone)
        ReadAhead();
    if (OnProgress)
        OnProgress(BytesRead, Size);
    return true;
}

bool TDXFRead::NextLine(std::string_view& Line)
{
    for (;;) {
        const char* start = Buffer.data() + Pos;
        const char* nl = FindLineEnd(start, Buffer.data() + Filled);
        if (nl || (InputDone && Pos < Filled)) {
            const size_t len = nl ? static_cast<size_t>(nl - start) : Filled - Pos;
            Pos += nl ? len + 1 : len;
            Line = std::string_view(start, len);
            if (!Line.empty() && Line.back() == '\r')
                Line.remove_suffix(1);
            ++LineNumber;
            return true;
        }
        // The last line may end without a line end: it is delivered on the next round.
        if (!Refill() && Pos >= Filled)
            return false;
    }
}

bool TDXFRead::NextPlainPair(int32_t& PairCode, std::string_view& Line)
{
    const char* p = Buffer.data() + Pos;
    const char* const end = Buffer.data() + Filled;
    while (p != end && *p == ' ')
        ++p;
    const char* const digits = p;
    int32_t code = 0;
    while (p != end && p - digits < 4 && IsDigit(*p))
        code = code * 10 + (*p++ - '0');
    if (p == digits || p == end)
        return false;
    if (*p == '\r' && end - p > 1)
        ++p;
    if (*p != '\n')
        return false;
    const char* const start = p + 1;
    const char* const nl = FindLineEnd(start, end);
    if (!nl)
        return false;
    Line = std::string_view(start, static_cast<size_t>(nl - start));
    if (!Line.empty() && Line.back() == '\r')
        Line.remove_suffix(1);
    Pos = static_cast<size_t>(nl + 1 - Buffer.data());
    LineNumber += 2;
    PairCode = code;
    return true;
}

bool TDXFRead::NextPairLines(int32_t& PairCode, std::string_view& Line)
{
    if (NextPlainPair(PairCode, Line))
        return true;
    std::string_view s;
    bool more = false;
    // Blank lines before a code line are passed over.
    while ((more = NextLine(Line)) && (s = Trim(Line)).empty()) {
    }
    if (!more)
        return false;
    s = s.substr(0, static_cast<size_t>(std::find_if(s.begin(), s.end(), IsBlank) - s.begin()));
    if (!ParseDXFInteger(s, PairCode))
        throw ECADFileNotValid("Invalid numeric format in line " + std::to_string(LineNumber) +
                               " of the DXF file.");
    return NextLine(Line);
}

bool TDXFRead::ReadGroup()
{
    std::string_view line;
    int32_t code = 0;
    const bool more = !Ended && NextPairLines(code, line);
    if (!more || (code == 0 && Trim(line) == "EOF")) {
        if (!Ended)
            EndMarker = more;
        Ended = true;
        Code = 0;
        Value.Clear();
        return false;
    }
    Code = code;
    StoreValue(line);
    if (Code == 9)
        NoteHeaderVariable(Value.Text);
    else if (Code == 0 && Value.IsText("ENDSEC"))
        InSection = false;
    return true;
}

bool TDXFRead::ReadGroupInRecord() { return ReadGroup() && Code != 0; }

void TDXFRead::StoreValue(std::string_view Line)
{
    switch (DXFGroupKind(Code)) {
    case TDXFGroupKind::Text:
        StoreText(Trim(Line));
        break;
    case TDXFGroupKind::RawText:
        StoreText(Line);
        break;
    case TDXFGroupKind::Real: {
        double v = 0;
        if (ParseDXFReal(Line, v) || ParseDXFNonFinite(Line, v))
            Value.SetReal(v);
        else
            Value.SetInteger(0);
        if (Code < 1000 && Value.Kind == TDXFValue::TKind::Real && !(std::fabs(v) <= DXFRealLimit))
            ++OutOfRangeReals;
        break;
    }
    case TDXFGroupKind::Integer: {
        int32_t v = 0;
        ParseDXFInteger(Line, v);
        Value.SetInteger(v);
        break;
    }
    }
    if (PendingVariable == 1 && Code == 1 && Value.Kind == TDXFValue::TKind::Text) {
        // AC1021 is version 2007, from which on every string is UTF-8.
        VersionIsUtf8 = Value.Text.size() == 6 && Value.Text.compare(0, 2, "AC") == 0 && Value.Text >= "AC1021";
        if (VersionIsUtf8)
            CodePage = TDXFCodePage::Utf8;
    } else if (PendingVariable == 2 && Code == 3) {
        // Files of 2007 and later are UTF-8 whatever they name; bytes that are not UTF-8 in
        // them are read by the named table.
        const bool utf8 = EqualsNoCase(Value.Text, "UTF-8") || EqualsNoCase(Value.Text, "UTF8");
        if (!VersionIsUtf8)
            CodePage = utf8 ? TDXFCodePage::Utf8 : TDXFCodePage::Windows1252;
        const std::string charset = DXFCodePageCharset(Value.Text);
        Decoder.reset();
        if (!charset.empty()) {
            Decoder = std::make_unique<TCharsetDecoder>(charset);
            if (!Decoder->Valid())
                Decoder.reset();
        }
    }
    if (Code != 9)
        PendingVariable = 0;
}

void TDXFRead::StoreText(std::string_view Bytes)
{
    if (IsAscii(Bytes) || (CodePage == TDXFCodePage::Utf8 && IsValidUtf8(Bytes)))
        Value.SetText(Bytes);
    else if (Decoder)
        Value.SetText(Decoder->Decode(Bytes));
    else
        Value.SetText(Windows1252ToUtf8(Bytes));
}

void TDXFRead::NoteHeaderVariable(std::string_view Trimmed)
{
    PendingVariable = Trimmed == "$ACADVER" ? 1 : Trimmed == "$DWGCODEPAGE" ? 2 : 0;
}

void TDXFRead::NextSection()
{
    Section = TDXFSection::None;
    for (;;) {
        if (Code == 0 && Value.IsText("SECTION")) {
            SectionsFound = true;
            InSection = true;
            OpenSectionName.clear();
            if (!ReadGroup())
                return;
            if (Value.Kind == TDXFValue::TKind::Text)
                OpenSectionName = Value.Text.substr(0, 64);
            static constexpr const char* Names[] = {"HEADER", "TABLES", "BLOCKS", "ENTITIES", "CLASSES"};
            for (size_t i = 0; i < std::size(Names); ++i)
                if (Value.Kind == TDXFValue::TKind::Text && Value.Text == Names[i])
                    Section = static_cast<TDXFSection>(i);
            ReadGroup();
            return;
        }
        if (!ReadGroup())
            return;
    }
}

int TDXFRead::ReadRecord(int StopCode, TDXFRecord& Record)
{
    while (Code != StopCode && Code != 0)
        if (!ReadGroup())
            return 0;
    if (Ended || (Code == 0 && StopCode != 0))
        return 0;
    do {
        const int slot = TDXFRecord::SlotOf(Code);
        if (slot >= 0)
            Record.Store(slot, Value);
        if (!ReadGroup())
            break;
    } while (Code != StopCode && Code != 0);
    return StopCode;
}

// ---- Writer --------------------------------------------------------------------------------

TDXFWrite::TDXFWrite(const std::string& FileName_) : FileName(FileName_)
{
    try {
        File = std::make_unique<TFileReplace>(FileName);
    } catch (const EFileReplace& e) {
        throw ECADCoreException("Cannot create the file " + DXFFileErrorText(FileName, e.Err));
    }
}

TDXFWrite::~TDXFWrite() = default;

template <typename F> void TDXFWrite::Check(F&& Step)
{
    RASTREL_ASSERT(File);
    try {
        Step(*File);
    } catch (const EFileReplace& e) {
        File.reset();
        throw ECADCoreException("Cannot write the file " + DXFFileErrorText(FileName, e.Err));
    }
}

void TDXFWrite::Rewrite()
{
    Check([](TFileReplace& f) { f.Rewrite(); });
}

void TDXFWrite::WriteLine(std::string_view Line)
{
    Check([Line](TFileReplace& f) {
        f.Write(Line);
        f.Write("\r\n");
    });
}

namespace {

std::string CodeLine(int Code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%3d", Code);
    return buf;
}

std::string RealText(double Value)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, 6);
    return std::string(buf, r.ptr);
}

std::string IntegerText(int32_t Value, bool Padded)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, Padded ? "%6d" : "%d", Value);
    return buf;
}

std::string ShortestText(double Value)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, Value);
    return std::string(buf, r.ptr);
}

} // namespace

void TDXFWrite::WriteGroup(int Code, std::string_view Value)
{
    switch (DXFGroupKind(Code)) {
    case TDXFGroupKind::Text:
    case TDXFGroupKind::RawText: {
        std::string text(CutCharacters(Value, MaxTextLength));
        // A line break inside a value would split the pair.
        std::replace(text.begin(), text.end(), '\r', ' ');
        std::replace(text.begin(), text.end(), '\n', ' ');
        WriteLine(CodeLine(Code));
        WriteLine(CodePage == TDXFCodePage::Utf8 ? text : Utf8ToWindows1252(text));
        return;
    }
    case TDXFGroupKind::Real: {
        double v = 0;
        if (!ParseDXFReal(Value, v))
            throw ECADCoreException("DXF group " + std::to_string(Code) + ": \"" + std::string(Value) +
                                    "\" is not a number.");
        WriteGroup(Code, v);
        return;
    }
    case TDXFGroupKind::Integer: {
        int32_t v = 0;
        if (!ParseDXFInteger(Value, v))
            throw ECADCoreException("DXF group " + std::to_string(Code) + ": \"" + std::string(Value) +
                                    "\" is not an integer.");
        WriteGroup(Code, v);
        return;
    }
    }
}

void TDXFWrite::WriteGroup(int Code, double Value)
{
    switch (DXFGroupKind(Code)) {
    case TDXFGroupKind::Real:
        WriteLine(CodeLine(Code));
        WriteLine(RealText(Value));
        return;
    case TDXFGroupKind::Integer: {
        const double r = std::nearbyint(Value);
        if (!(r >= INT32_MIN && r <= INT32_MAX))
            throw ECADCoreException("DXF group " + std::to_string(Code) + ": " + ShortestText(Value) +
                                    " is not an integer.");
        WriteGroup(Code, static_cast<int32_t>(r));
        return;
    }
    case TDXFGroupKind::Text:
    case TDXFGroupKind::RawText:
        WriteGroup(Code, std::string_view(ShortestText(Value)));
        return;
    }
}

void TDXFWrite::WriteGroup(int Code, int32_t Value)
{
    switch (DXFGroupKind(Code)) {
    case TDXFGroupKind::Real:
        WriteGroup(Code, static_cast<double>(Value));
        return;
    case TDXFGroupKind::Integer:
        WriteLine(CodeLine(Code));
        WriteLine(IntegerText(Value, true));
        return;
    case TDXFGroupKind::Text:
    case TDXFGroupKind::RawText:
        WriteGroup(Code, std::string_view(IntegerText(Value, false)));
        return;
    }
}

void TDXFWrite::BeginSection(TDXFSection Kind)
{
    WriteGroup(0, "SECTION");
    WriteGroup(2, SectionName(Kind));
}

void TDXFWrite::EndSection() { WriteGroup(0, "ENDSEC"); }

void TDXFWrite::Commit()
{
    Check([](TFileReplace& f) { f.Commit(); });
    File.reset();
}
