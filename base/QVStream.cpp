#include "QVStream.h"

#include "CADExceptions.h"
#include "FileReplace.h"

#include <algorithm>
#include <bit>
#include <cstring>

TStreamWriter::TStreamWriter(TFileReplace& File) : File(&File), SpillAt(SpillSize)
{
    // Sized once: a spill empties the buffer and keeps its memory for the next piece.
    Buffer.reserve(SpillSize + 64);
}

void TStreamWriter::WriteBytes(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    // A large block (a picture) goes to the file as it is, not through the buffer.
    if (File && size >= SpillSize) {
        Flush();
        File->Write(p, size);
        Sent += size;
        return;
    }
    Buffer.insert(Buffer.end(), p, p + size);
    SpillWhenFull();
}

void TStreamWriter::WriteChars(std::string_view s) { WriteBytes(s.data(), s.size()); }

void TStreamWriter::PatchInt32(size_t offset, int32_t v)
{
    RASTREL_ASSERT(offset + 4 <= Size());
    const auto u = static_cast<uint32_t>(v);
    uint8_t bytes[4];
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(u >> (8 * i));
    // The part already sent is overwritten in the file, the rest in the buffer.
    const size_t inFile = offset < Sent ? std::min<size_t>(4, Sent - offset) : 0;
    if (inFile > 0)
        File->WriteAt(offset, bytes, inFile);
    for (size_t i = inFile; i < 4; ++i)
        Buffer[offset + i - Sent] = bytes[i];
}

void TStreamWriter::Flush()
{
    if (!File || Buffer.empty())
        return;
    File->Write(Buffer.data(), Buffer.size());
    Sent += Buffer.size();
    Buffer.clear();
}

void TStreamReader::Fail(const std::string& why) const
{
    std::string msg = "Invalid stream";
    if (Context)
        msg += std::string(" (") + Context + ")";
    msg += ": " + why + " at offset " + std::to_string(Position()) + ".";
    throw ECADFileNotValid(msg);
}

void TStreamReader::Refill(size_t size) { FailShort(size); }

void TStreamReader::FailShort(size_t size) const
{
    Fail("unexpected end of data, " + std::to_string(size) + " bytes needed and " + std::to_string(Remaining()) +
         " left");
}

void TStreamReader::ReadBytes(void* dst, size_t size)
{
    const uint8_t* p = Take(size);
    if (size)
        std::memcpy(dst, p, size);
}

std::string TStreamReader::ReadChars(size_t size)
{
    const uint8_t* p = Take(size);
    return std::string(reinterpret_cast<const char*>(p), size);
}

void TStreamReader::Skip(size_t size)
{
    // Moves without reading, so skipping a large block of a file costs nothing.
    if (size > Remaining())
        FailShort(size);
    Seek(Position() + size);
}

void TStreamReader::CheckCount(uint64_t count, size_t minItemBytes, const char* what) const
{
    const uint64_t per = minItemBytes ? minItemBytes : 1;
    if (count > Remaining() / per)
        Fail(std::string("count of ") + what + " (" + std::to_string(count) +
             ") is larger than the data left can hold");
}

uint32_t TStreamReader::ReadCount(size_t minItemBytes, const char* what)
{
    const int32_t n = ReadInt32();
    if (n < 0)
        Fail(std::string("negative count of ") + what + " (" + std::to_string(n) + ")");
    CheckCount(static_cast<uint64_t>(n), minItemBytes, what);
    return static_cast<uint32_t>(n);
}

void TStreamReader::Seek(size_t pos)
{
    if (pos > Total)
        Fail("seek beyond the end of data");
    if (pos >= Base && pos - Base <= End)
        Pos = pos - Base;
    else
        SetWindow(pos, Data, 0);  // the next read makes a window there
}
