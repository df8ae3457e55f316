#include "DXFCodePages.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace {

// iconv_open answers (iconv_t)-1 for failure: a C sentinel, not a pointer we make.
const iconv_t NoHandle = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)

bool AllDigits(std::string_view S)
{
    return !S.empty() && std::all_of(S.begin(), S.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Upper(std::string_view S)
{
    std::string out(S);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::string DXFCodePageCharset(std::string_view DwgCodePage)
{
    const std::string name = Upper(DwgCodePage);
    const std::string_view s = name;
    if (s.size() == 9 && s.substr(0, 8) == "ANSI_125" && s[8] >= '0' && s[8] <= '8' && s[8] != '2')
        return "CP" + name.substr(5);
    if (s.size() >= 6 && s.size() <= 7 && s.substr(0, 3) == "DOS" && AllDigits(s.substr(3)))
        return "CP" + name.substr(3);
    return {};
}

TCharsetDecoder::TCharsetDecoder(const std::string& Charset)
    : Name(Charset), Handle(iconv_open("UTF-8", Charset.c_str()))
{
}

TCharsetDecoder::~TCharsetDecoder()
{
    if (Valid())
        iconv_close(static_cast<iconv_t>(Handle));
}

bool TCharsetDecoder::Valid() const { return static_cast<iconv_t>(Handle) != NoHandle; }

std::string TCharsetDecoder::Decode(std::string_view Bytes)
{
    if (!Valid())
        return std::string(Bytes);
    const auto cd = static_cast<iconv_t>(Handle);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    // A byte gives at most a few UTF-8 bytes; CP1258 may hold a letter back for its accent.
    char buffer[256];
    auto* in = const_cast<char*>(Bytes.data());
    size_t inLeft = Bytes.size();
    for (;;) {
        char* to = buffer;
        size_t toLeft = sizeof buffer;
        const size_t r = inLeft > 0 ? iconv(cd, &in, &inLeft, &to, &toLeft) : iconv(cd, nullptr, nullptr, &to, &toLeft);
        const int err = errno;
        out.append(buffer, static_cast<size_t>(to - buffer));
        if (r != static_cast<size_t>(-1)) {
            if (inLeft == 0 && to == buffer)
                return out;
            continue;
        }
        if (err == E2BIG)
            continue;
        if (inLeft == 0)
            return out;
        // A byte the code page leaves undefined (or an incomplete one at the end).
        out += "\xEF\xBF\xBD";
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}
