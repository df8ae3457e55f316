#include "SvgPathTokenizer.h"

#include "SvgException.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace {

bool IsDigit(char C)
{
    return C >= '0' && C <= '9';
}

bool IsCommand(char C)
{
    return C != 0 && std::strchr("MmZzLlHhVvCcSsQqTtAaFfPp", C) != nullptr;
}

bool StartsNumber(char C)
{
    return IsDigit(C) || C == '+' || C == '-' || C == '.';
}

// The decimal exponent of the first significant digit of a number text ("0.012" -2, "340" 2,
// "5e-7" -7), to tell a number too large for a double from one too small; -1 for zero.
long Magnitude(std::string_view Number)
{
    const size_t e = Number.find_first_of("eE");
    const std::string_view mantissa = Number.substr(0, e);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return -1;
    const long digits =
        first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point);
    long exponent = 0;
    if (e != std::string_view::npos) {
        for (size_t i = e + 1; i < Number.size(); ++i)
            if (IsDigit(Number[i]) && exponent < 1'000'000)
                exponent = exponent * 10 + (Number[i] - '0');
        if (Number.find('-', e) != std::string_view::npos)
            exponent = -exponent;
    }
    return digits + exponent;
}

} // namespace

bool is_separator(char C)
{
    return C == ' ' || C == ',' || C == '\t' || C == '\n' || C == '\r';
}

bool scan_number(std::string_view Text, size_t& Pos, double& Value, const char* Routine)
{
    size_t p = Pos;
    const size_t n = Text.size();
    const bool negative = p < n && Text[p] == '-';
    if (p < n && (Text[p] == '+' || Text[p] == '-'))
        ++p;
    const size_t mantissa = p;
    size_t digits = 0;
    while (p < n && IsDigit(Text[p]))
        ++p, ++digits;
    if (p < n && Text[p] == '.') {
        ++p;
        while (p < n && IsDigit(Text[p]))
            ++p, ++digits;
    }
    if (digits == 0)
        return false;
    // An exponent only when digits follow: in "2em" the number is 2.
    if (p < n && (Text[p] == 'e' || Text[p] == 'E')) {
        size_t e = p + 1;
        if (e < n && (Text[e] == '+' || Text[e] == '-'))
            ++e;
        if (e < n && IsDigit(Text[e])) {
            while (e < n && IsDigit(Text[e]))
                ++e;
            p = e;
        }
    }
    // from_chars takes no '+' sign: the sign is put on afterwards.
    double v = 0;
    const std::string_view number = Text.substr(mantissa, p - mantissa);
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    if (ec == std::errc::result_out_of_range) {
        if (Magnitude(number) >= 0)
            throw Esvg_exception(std::string(Routine) + ": Number out of range: " +
                                 std::string(Text.substr(Pos, std::min<size_t>(p - Pos, 64))));
        v = 0;
    } else if (ec != std::errc() || end != number.data() + number.size()) {
        return false;
    }
    Value = negative ? -v : v;
    Pos = p;
    return true;
}

double get_double(std::string_view Text)
{
    size_t pos = 0;
    while (pos < Text.size() &&
           (Text[pos] == ' ' || Text[pos] == '\t' || Text[pos] == '\n' || Text[pos] == '\r'))
        ++pos;
    double v = 0;
    return scan_number(Text, pos, v, "get_double") ? v : 0;
}

void path_tokenizer::set_path_str(std::string_view Text)
{
    m_text = Text;
    m_pos = 0;
    m_last_command = 0;
    m_last_number = 0;
    m_last_is_number = false;
}

void path_tokenizer::skip_separators()
{
    while (m_pos < m_text.size() && is_separator(m_text[m_pos]))
        ++m_pos;
}

bool path_tokenizer::next()
{
    skip_separators();
    if (m_pos >= m_text.size())
        return false;
    const char c = m_text[m_pos];
    if (IsCommand(c)) {
        m_last_command = c;
        m_last_is_number = false;
        ++m_pos;
        return true;
    }
    if (StartsNumber(c) && scan_number(m_text, m_pos, m_last_number, "path_tokenizer::next")) {
        m_last_is_number = true;
        return true;
    }
    throw Esvg_exception(std::string("path_tokenizer::next : Invalid Character ") + c);
}

double path_tokenizer::next(char Cmd)
{
    if (!next())
        throw Esvg_exception("parse_path: Unexpected end of path");
    if (!m_last_is_number || m_last_command != Cmd)
        throw Esvg_exception(std::string("parse_path: Command ") + Cmd + ": bad or missing parameters");
    return m_last_number;
}

bool path_tokenizer::next_flag(char Cmd)
{
    skip_separators();
    if (m_pos >= m_text.size())
        throw Esvg_exception("parse_path: Unexpected end of path");
    const char c = m_text[m_pos];
    if (c != '0' && c != '1')
        throw Esvg_exception(std::string("parse_path: Command ") + Cmd + ": bad or missing parameters");
    ++m_pos;
    m_last_number = c - '0';
    m_last_is_number = true;
    return c == '1';
}
