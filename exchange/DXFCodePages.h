#pragma once
// The code pages a DXF header names in $DWGCODEPAGE, decoded to UTF-8 with the C library's
// iconv. Windows-1252 keeps its own table (Cp1252.h); so do names we do not decode.
#include <string>
#include <string_view>

// The iconv name of a $DWGCODEPAGE value: "CP1250" to "CP1258" (but 1252) for ANSI_1250 to
// ANSI_1258, "CPnnn" for DOSnnn. Empty for every other value, UTF-8 included.
std::string DXFCodePageCharset(std::string_view DwgCodePage);

// Single-byte text of one code page into UTF-8. One per reader: the conversion keeps state.
class TCharsetDecoder {
public:
    // Valid() is false when the C library has no such conversion.
    explicit TCharsetDecoder(const std::string& Charset);
    ~TCharsetDecoder();
    TCharsetDecoder(const TCharsetDecoder&) = delete;
    TCharsetDecoder& operator=(const TCharsetDecoder&) = delete;

    bool Valid() const;
    const std::string& Charset() const { return Name; }
    // Bytes the code page leaves undefined become U+FFFD.
    std::string Decode(std::string_view Bytes);

private:
    std::string Name;
    void* Handle;  // iconv_t
};
