#pragma once
// Strings in streams as the machining data, the tool libraries and the labels store them: an
// Int32 byte count, then that many Windows-1252 bytes without a terminator.
#include "QVStream.h"

#include <string>
#include <string_view>

struct TStreamEx {
    // Writes the UTF-8 text as Windows-1252; the empty string is just the count 0.
    static void WriteString(TStreamWriter& stream, std::string_view s);
    // A count below 1 reads as the empty string with no bytes after it; a count larger than the
    // data left is a damaged stream (ECADFileNotValid).
    static std::string ReadString(TStreamReader& stream);
};
