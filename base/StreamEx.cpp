#include "StreamEx.h"

#include "CADExceptions.h"
#include "Cp1252.h"

#include <cstdint>
#include <limits>

void TStreamEx::WriteString(TStreamWriter& stream, std::string_view s)
{
    const std::string bytes = Utf8ToWindows1252(s);
    RASTREL_ASSERT(bytes.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max()));
    stream.WriteInt32(static_cast<int32_t>(bytes.size()));
    stream.WriteChars(bytes);
}

std::string TStreamEx::ReadString(TStreamReader& stream)
{
    const int32_t n = stream.ReadInt32();
    if (n < 1)
        return {};
    stream.CheckCount(static_cast<uint64_t>(n), 1, "string bytes");
    return Windows1252ToUtf8(stream.ReadChars(static_cast<size_t>(n)));
}
