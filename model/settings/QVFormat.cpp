#include "QVFormat.h"

#include "CADExceptions.h"
#include "QVLanguage.h"
#include "QVServices.h"
#include "UnitConfig.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

void StripTrailingZeros(std::string& s)
{
    if (s.find('.') == std::string::npos)
        return;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
}

void StripTrailingPoint(std::string& s)
{
    if (!s.empty() && s.back() == '.')
        s.pop_back();
}

int CoordDecimals(bool second)
{
    if (!AppConfig)
        return 3;
    return CoordFormatDecimals(second ? AppConfig->CoordFormat2 : AppConfig->CoordFormat);
}

std::string CoordText(double Value, bool second)
{
    std::string s = FormatFixed(Value, CoordDecimals(second));
    StripTrailingZeros(s);
    StripTrailingPoint(s);
    return s;
}

}  // namespace

std::string FormatFixed(double Value, int Decimals)
{
    // Large enough for the widest finite Double in fixed notation with 100 decimals.
    char buf[512];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, Decimals);
    if (ec != std::errc())
        return "0";
    std::string s(buf, ptr);
    // -0.0001 with three decimals would read "-0.000": a zero shows without a sign.
    if (!s.empty() && s.front() == '-' && s.find_first_of("123456789") == std::string::npos &&
        s.find_first_of("ni") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string FormatCoord(double Value) { return CoordText(Value, false); }
std::string FormatCoord2(double Value) { return CoordText(Value, true); }
// Appending instead of "X" + text keeps g++ 12 from a false -Wrestrict warning.
std::string FormatX(double Value) { return std::string("X").append(FormatCoord(Value)); }
std::string FormatY(double Value) { return std::string("Y").append(FormatCoord(Value)); }

std::string FormatCoordSp(double Value)
{
    std::string s = FormatFixed(Value, CoordDecimals(false));
    StripTrailingZeros(s);
    return " " + s;
}

std::string FormatCoordSpTrim(double Value)
{
    std::string s = FormatCoordSp(Value);
    StripTrailingPoint(s);
    return s;
}

std::string Format3DecRaw(float Value)
{
    std::string s = FormatFixed(static_cast<double>(Value), 3);
    StripTrailingZeros(s);
    return s;
}

std::string Format3Dec(double Value)
{
    // Beyond the Single range the conversion would be undefined; such values show as infinite.
    constexpr double maxSingle = std::numeric_limits<float>::max();
    float single;
    if (std::isnan(Value))
        single = std::numeric_limits<float>::quiet_NaN();
    else if (Value > maxSingle)
        single = std::numeric_limits<float>::infinity();
    else if (Value < -maxSingle)
        single = -std::numeric_limits<float>::infinity();
    else
        single = static_cast<float>(Value);
    std::string s = Format3DecRaw(single);
    StripTrailingPoint(s);
    return s;
}

std::string FormatSeconds(int Seconds)
{
    const auto twoDigits = [](int v) {
        std::string s = std::to_string(v < 0 ? -v : v);
        if (s.size() < 2)
            s.insert(0, 1, '0');
        return v < 0 ? std::string("-").append(s) : s;
    };
    std::string out(" ");
    out.append(std::to_string(Seconds / 3600)).append("h, ");
    out.append(twoDigits((Seconds / 60) % 60)).append("m, ");
    out.append(twoDigits(Seconds % 60)).append("s");
    return out;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void FilterKey(char& Key, bool comma, bool minus, bool enter)
{
    if (Key == ',' && comma)
        Key = '.';
    const bool pass = IsDigit(Key) || Key == 8 || (Key == '.' && comma) || (Key == '-' && minus) ||
                      (Key == 13 && enter);
    if (!pass)
        Key = 0;
}

}  // namespace

void SoloNumeriEMenoInvio(char& Key) { FilterKey(Key, true, true, true); }
void SoloNumeriEMeno(char& Key) { FilterKey(Key, true, true, false); }
void SoloNumeriPos(char& Key) { FilterKey(Key, true, false, false); }
void SoloNumeriInteri(char& Key) { FilterKey(Key, false, false, false); }

std::optional<double> ParseUserNumber(std::string_view Text)
{
    // Blanks around the number, a sign of either kind and an exponent, as the run-time
    // conversion reads them; no thousands separators, no "inf" or "nan", no hexadecimal.
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!Text.empty() && blank(Text.front()))
        Text.remove_prefix(1);
    while (!Text.empty() && blank(Text.back()))
        Text.remove_suffix(1);
    std::string_view body = Text;
    if (!body.empty() && (body.front() == '-' || body.front() == '+'))
        body.remove_prefix(1);
    const size_t exponent = body.find_first_of("eE");
    std::string_view mantissa = body.substr(0, exponent);
    int digits = 0, points = 0;
    for (char c : mantissa) {
        if (IsDigit(c))
            ++digits;
        else if (c == '.')
            ++points;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1)
        return std::nullopt;
    if (exponent != std::string_view::npos) {
        std::string_view power = body.substr(exponent + 1);
        if (!power.empty() && (power.front() == '-' || power.front() == '+'))
            power.remove_prefix(1);
        if (power.empty() || !std::all_of(power.begin(), power.end(), IsDigit))
            return std::nullopt;
    }
    // from_chars takes no '+'.
    if (Text.front() == '+')
        Text.remove_prefix(1);
    double v = 0;
    auto [ptr, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), v, std::chars_format::general);
    if (ec != std::errc() || ptr != Text.data() + Text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> ParseNumberOrReport(std::string_view Text)
{
    std::optional<double> v = ParseUserNumber(Text);
    if (!v) {
        // Built by appending: g++ 12 warns falsely on "'" + std::string.
        std::string message(1, '\'');
        message.append(Text).append("' is not a valid floating point value");
        MainWindow().MessageBox(message, GetLangString(450), TMsgIcon::Error, TMsgButtons::Ok);
    }
    return v;
}

bool NumeroValido(std::string_view Text) { return ParseUserNumber(Text).has_value(); }

std::string FormatExact(double Value)
{
    const double a = std::fabs(Value);
    const bool plain = a == 0 || (a >= 1e-5 && a < 1e15);
    char buf[64];
    auto [ptr, ec] = plain ? std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed)
                           : std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific);
    RASTREL_ASSERT(ec == std::errc());
    return std::string(buf, ptr);
}
