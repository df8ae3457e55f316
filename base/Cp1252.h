#pragma once
// Strings inside binary files are single-byte Windows-1252; text in memory is UTF-8. These two
// convert at that boundary.
#include <string>
#include <string_view>

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined map to the
// control characters of the same code, so any byte string comes back unchanged through
// Utf8ToWindows1252.
std::string Windows1252ToUtf8(std::string_view bytes);
// Characters Windows-1252 cannot hold, and bytes that are not valid UTF-8, become '?'.
std::string Utf8ToWindows1252(std::string_view text);
// The first Count characters of a UTF-8 text, those that become the first Count bytes of
// Utf8ToWindows1252 (an invalid byte counts as one character).
std::string_view Utf8Prefix(std::string_view text, size_t count);
