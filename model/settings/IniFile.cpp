#include "IniFile.h"

#include "FileReplace.h"

#include "CADExceptions.h"
#include "QVFormat.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view Blanks = " \t\r\v\f";

std::string_view Trim(std::string_view s)
{
    const size_t b = s.find_first_not_of(Blanks);
    if (b == std::string_view::npos)
        return {};
    const size_t e = s.find_last_not_of(Blanks);
    return s.substr(b, e - b + 1);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool HasEnclosingQuotes(std::string_view v) { return v.size() >= 2 && IsQuote(v.front()) && v.front() == v.back(); }

// Names are program constants; a name the file format cannot hold is a programmer's error.
bool IsWritableName(std::string_view name, bool isKey)
{
    if (name.find_first_of("\r\n") != std::string_view::npos || Trim(name) != name)
        return false;
    if (isKey)
        return !name.empty() && name.find('=') == std::string_view::npos && name.front() != ';' &&
               name.front() != '[';
    return name.find(']') == std::string_view::npos;
}

}  // namespace

std::optional<int32_t> ParseIniInteger(std::string_view text)
{
    std::string_view s = Trim(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (s.size() > 1 && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    uint64_t v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return std::nullopt;
    if (base == 16) {
        // Colours are often written as 32-bit hexadecimal patterns.
        if (v > 0xFFFFFFFFull)
            return std::nullopt;
        const auto bits = static_cast<uint32_t>(v);
        const auto value = static_cast<int32_t>(bits);
        return negative ? static_cast<int32_t>(0u - bits) : value;
    }
    const int64_t signedValue = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    if (v > 0x80000000ull || signedValue < INT32_MIN || signedValue > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(signedValue);
}

std::optional<double> ParseIniFloat(std::string_view text)
{
    std::string_view s = Trim(text);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty() || s.front() == '+' || s.front() == ' ')
        return std::nullopt;
    double v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string FloatToIniText(double value)
{
    // Plain decimals where they stay short, as people write them ("0.0001", not "1e-04").
    return FormatExact(value);
}

bool TMemIniFile::Load()
{
    Preamble.clear();
    Sections.clear();
    struct stat st {};
    if (FileName.empty() || ::stat(FileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Parse(text);
    return true;
}

void TMemIniFile::Parse(std::string_view text)
{
    Preamble.clear();
    Sections.clear();
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    TSection* current = nullptr;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // A byte-order mark repeated at the start of the first line is dropped too: kept, it
        // would open the written text and be taken as the mark when read again.
        if (Preamble.empty() && Sections.empty())
            while (line.starts_with("\xEF\xBB\xBF"))
                line.remove_prefix(3);
        const std::string_view t = Trim(line);
        if (t.empty())
            continue;
        if (t.front() == '[') {
            std::string_view name = t.substr(1);
            name = Trim(name.substr(0, name.find(']')));
            current = FindSection(name);
            if (!current) {
                Sections.push_back({std::string(name), {}});
                current = &Sections.back();
            }
            continue;
        }
        TLine entry;
        const size_t eq = t.find('=');
        if (t.front() != ';' && eq != std::string_view::npos && !Trim(t.substr(0, eq)).empty()) {
            entry.Key = Trim(t.substr(0, eq));
            entry.Value = Trim(t.substr(eq + 1));
        } else {
            entry.Value = line;  // kept as it stands
        }
        if (current)
            current->Lines.push_back(std::move(entry));
        else
            Preamble.push_back(std::string(line));
    }
}

std::string TMemIniFile::ToString() const
{
    std::string out;
    for (const std::string& raw : Preamble)
        out.append(raw).push_back('\n');
    for (size_t i = 0; i < Sections.size(); ++i) {
        if (i > 0 || !Preamble.empty())
            out.push_back('\n');
        out.append("[").append(Sections[i].Name).append("]\n");
        for (const TLine& line : Sections[i].Lines) {
            if (!line.Key.empty())
                out.append(line.Key).push_back('=');
            out.append(line.Value).push_back('\n');
        }
    }
    return out;
}

void TMemIniFile::UpdateFile() const
{
    const auto fail = [this](const char* what, int err) {
        throw EIniFileError("Cannot write \"" + FileName + "\" (" + what + "): " + std::strerror(err));
    };
    if (FileName.empty())
        throw EIniFileError("Cannot write the settings: no file name.");
    const std::string text = ToString();
    try {
        ReplaceFileContents(FileName, text.data(), text.size());
    } catch (const EFileReplace& e) {
        fail(e.Step, e.Err);
    }
}

const TMemIniFile::TSection* TMemIniFile::FindSection(std::string_view name) const
{
    for (const TSection& s : Sections)
        if (SameName(s.Name, name))
            return &s;
    return nullptr;
}

TMemIniFile::TSection* TMemIniFile::FindSection(std::string_view name)
{
    return const_cast<TSection*>(std::as_const(*this).FindSection(name));
}

const std::string* TMemIniFile::FindRaw(std::string_view section, std::string_view key) const
{
    const TSection* s = FindSection(section);
    if (!s)
        return nullptr;
    for (const TLine& line : s->Lines)
        if (!line.Key.empty() && SameName(line.Key, key))
            return &line.Value;
    return nullptr;
}

bool TMemIniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return FindRaw(section, key) != nullptr;
}

std::vector<std::string> TMemIniFile::ReadSections() const
{
    std::vector<std::string> names;
    for (const TSection& s : Sections)
        names.push_back(s.Name);
    return names;
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const
{
    const std::string* raw = FindRaw(section, key);
    if (!raw)
        return std::string(def);
    std::string_view v = *raw;
    if (HasEnclosingQuotes(v))
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

int32_t TMemIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const
{
    const std::string* raw = FindRaw(section, key);
    if (!raw)
        return def;
    return ParseIniInteger(*raw).value_or(def);
}

bool TMemIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TMemIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const
{
    const std::string* raw = FindRaw(section, key);
    if (!raw)
        return def;
    return ParseIniFloat(*raw).value_or(def);
}

void TMemIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    RASTREL_ASSERT(IsWritableName(section, false) && IsWritableName(key, true));
    std::string v(value);
    // A line break would split the entry; blanks around the value and enclosing quotes would be
    // lost on reading, so such values are quoted.
    for (char& c : v)
        if (c == '\n' || c == '\r')
            c = ' ';
    if (Trim(v) != std::string_view(v) || HasEnclosingQuotes(v))
        v = '"' + v + '"';
    TSection* s = FindSection(section);
    if (!s) {
        Sections.push_back({std::string(section), {}});
        s = &Sections.back();
    }
    for (TLine& line : s->Lines)
        if (!line.Key.empty() && SameName(line.Key, key)) {
            line.Value = std::move(v);
            return;
        }
    s->Lines.push_back({std::string(key), std::move(v)});
}

void TMemIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void TMemIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TMemIniFile::WriteFloat(std::string_view section, std::string_view key, double value)
{
    WriteString(section, key, FloatToIniText(value));
}
