#pragma once
// Ini files with the Windows profile rules, held in memory: section and key names are compared
// without regard to case, values lose the blanks around them (and one pair of enclosing quotes
// when read), Booleans are stored as integers. Writing keeps every section and line we did not
// touch, in its place, so the sections that other parts of the program own survive a save.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A settings or language file could not be written.
class EIniFileError : public std::runtime_error {
public:
    explicit EIniFileError(const std::string& msg) : std::runtime_error(msg) {}
};

class TMemIniFile {
public:
    TMemIniFile() = default;
    explicit TMemIniFile(std::string fileName) : FileName(std::move(fileName)) {}

    // Reads the file named at construction. A missing or unreadable file leaves the object empty
    // and answers false; damaged lines are kept as they are and never stop the reading.
    bool Load();
    void Parse(std::string_view text);

    // The text that UpdateFile writes.
    std::string ToString() const;
    // Writes the file through a temporary file in the same folder, renamed over the old one only
    // after the whole write succeeded. Raises EIniFileError with the reason when it fails.
    void UpdateFile() const;

    const std::string& GetFileName() const { return FileName; }

    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> ReadSections() const;

    // The value with one pair of enclosing quotes removed; def when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Whole decimal numbers (or hexadecimal after "0x" or "$"); def when missing or unreadable.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    // '.' is the decimal separator whatever the locale; def when missing, unreadable or not finite.
    double ReadFloat(std::string_view section, std::string_view key, double def) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Shortest text that reads back to the same Double, with '.'.
    void WriteFloat(std::string_view section, std::string_view key, double value);

private:
    struct TLine {
        std::string Key;  // empty for a line kept verbatim (comments, lines without '=')
        std::string Value;
    };
    struct TSection {
        std::string Name;
        std::vector<TLine> Lines;
    };

    const TSection* FindSection(std::string_view name) const;
    TSection* FindSection(std::string_view name);
    const std::string* FindRaw(std::string_view section, std::string_view key) const;

    std::string FileName;
    std::vector<std::string> Preamble;  // lines before the first section
    std::vector<TSection> Sections;
};

// Number parsing shared by the ini reader and the input checks: the whole text must be a number.
std::optional<int32_t> ParseIniInteger(std::string_view text);
std::optional<double> ParseIniFloat(std::string_view text);
// Shortest round-trip text of a finite Double, '.' as separator.
std::string FloatToIniText(double value);
