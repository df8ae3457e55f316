#pragma once
// The one little-endian reader/writer pair behind every binary format of the program.
// The writer appends to a byte buffer, or hands its bytes on to a file as they come; the reader
// walks a byte range and refuses anything it cannot read whole: a short read or an impossible
// count is an ECADFileNotValid that says what was being read, never garbage and never a huge
// allocation.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TFileReplace;

// The writes of single values are inline, as the reads are.
class TStreamWriter {
public:
    // Keeps every byte in memory (Bytes).
    TStreamWriter() = default;
    // Hands the bytes on to File in pieces of about SpillSize as they come, so that a large
    // drawing is never held whole in memory. Flush sends the rest; File's errors (EFileReplace)
    // come out of the writes. File must outlive the writer.
    explicit TStreamWriter(TFileReplace& File);
    TStreamWriter(const TStreamWriter&) = delete;
    TStreamWriter& operator=(const TStreamWriter&) = delete;

    static constexpr size_t SpillSize = size_t(1) << 20;

    void WriteByte(uint8_t v)
    {
        Buffer.push_back(v);
        SpillWhenFull();
    }
    void WriteBool(bool v) { WriteByte(v ? 1 : 0); } // one byte, 0 or 1
    void WriteInt16(int16_t v) { PutLE(static_cast<uint16_t>(v)); }
    void WriteUInt16(uint16_t v) { PutLE(v); }
    void WriteInt32(int32_t v) { PutLE(static_cast<uint32_t>(v)); }
    void WriteUInt32(uint32_t v) { PutLE(v); }
    void WriteInt64(int64_t v) { PutLE(static_cast<uint64_t>(v)); }
    void WriteSingle(float v) { PutLE(std::bit_cast<uint32_t>(v)); }
    void WriteDouble(double v) { PutLE(std::bit_cast<uint64_t>(v)); }
    void WriteBytes(const void* data, size_t size);
    void WriteChars(std::string_view s);  // the bytes only, no count

    // Overwrites four bytes written earlier, for counts known only after their items; on a file
    // writer also bytes already sent.
    void PatchInt32(size_t offset, int32_t v);

    // All bytes written so far, sent on or not.
    size_t Size() const { return Sent + Buffer.size(); }
    // The bytes of a writer in memory.
    const std::vector<uint8_t>& Bytes() const { return Buffer; }
    std::vector<uint8_t> TakeBytes() { return std::move(Buffer); }
    void Clear() { Buffer.clear(); }
    // A writer in memory drops what it holds from Size on, and writes on from there.
    void Truncate(size_t Size)
    {
        if (!File && Size < Buffer.size())
            Buffer.resize(Size);
    }
    void Reserve(size_t n) { Buffer.reserve(n); }
    // A file writer sends what it still holds; a writer in memory keeps it.
    void Flush();

private:
    template <typename U>
    void PutLE(U v)
    {
        uint8_t bytes[sizeof(U)];
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(bytes, &v, sizeof(U));
        } else {
            for (size_t i = 0; i < sizeof(U); ++i)
                bytes[i] = static_cast<uint8_t>(v >> (8 * i));
        }
        // resize + copy rather than insert: g++ 12 warns falsely about insert at -O2.
        const size_t at = Buffer.size();
        Buffer.resize(at + sizeof(U));
        std::memcpy(Buffer.data() + at, bytes, sizeof(U));
        SpillWhenFull();
    }

    // One comparison per write: a writer in memory never reaches its limit.
    void SpillWhenFull()
    {
        if (Buffer.size() >= SpillAt)
            Flush();
    }

    std::vector<uint8_t> Buffer;
    TFileReplace* File = nullptr;
    size_t SpillAt = SIZE_MAX;
    size_t Sent = 0; // bytes handed to File before the first byte of Buffer
};

// The reads of single values are inline: a drawing file holds tens of millions of them.
// A reader walks a byte range in memory, or (through a subclass) a window onto a larger source
// such as a file: positions, sizes and counts always refer to the whole source.
class TStreamReader {
public:
    TStreamReader(const uint8_t* data, size_t size) : Data(data), End(size), Total(size) {}
    explicit TStreamReader(const std::vector<uint8_t>& bytes)
        : Data(bytes.data()), End(bytes.size()), Total(bytes.size())
    {
    }
    virtual ~TStreamReader() = default;
    TStreamReader(const TStreamReader&) = delete;
    TStreamReader& operator=(const TStreamReader&) = delete;

    uint8_t ReadByte() { return *Take(1); }
    bool ReadBool() { return *Take(1) != 0; }  // one byte; any non-zero value is true
    int16_t ReadInt16() { return static_cast<int16_t>(GetLE<uint16_t>(Take(2))); }
    uint16_t ReadUInt16() { return GetLE<uint16_t>(Take(2)); }
    int32_t ReadInt32() { return static_cast<int32_t>(GetLE<uint32_t>(Take(4))); }
    uint32_t ReadUInt32() { return GetLE<uint32_t>(Take(4)); }
    int64_t ReadInt64() { return static_cast<int64_t>(GetLE<uint64_t>(Take(8))); }
    float ReadSingle() { return std::bit_cast<float>(GetLE<uint32_t>(Take(4))); }
    double ReadDouble() { return std::bit_cast<double>(GetLE<uint64_t>(Take(8))); }
    // dst.size() Doubles, checked once: matrices and points are read in runs.
    void ReadDoubles(std::span<double> dst)
    {
        const uint8_t* p = Take(dst.size() * 8);
        for (double& v : dst) {
            v = std::bit_cast<double>(GetLE<uint64_t>(p));
            p += 8;
        }
    }
    void ReadBytes(void* dst, size_t size);
    std::string ReadChars(size_t size);  // exactly size bytes, checked first
    void Skip(size_t size);

    // Reads a signed 32-bit count and checks that count items of at least minItemBytes each can
    // still follow. Negative counts and counts the remaining bytes cannot hold are refused.
    uint32_t ReadCount(size_t minItemBytes, const char* what);
    // Checks an already-known count the same way.
    void CheckCount(uint64_t count, size_t minItemBytes, const char* what) const;

    size_t Position() const { return Base + Pos; }
    size_t Size() const { return Total; }
    size_t Remaining() const { return Total - Position(); }
    bool AtEnd() const { return Position() >= Total; }
    void Seek(size_t pos);

    // Names what is being read, for the message of a failed read.
    void SetContext(const char* what) { Context = what; }

    [[noreturn]] void Fail(const std::string& why) const;

protected:
    // A reader of a source of totalSize bytes that it shows through windows.
    explicit TStreamReader(size_t totalSize) : Data(nullptr), End(0), Total(totalSize) {}
    // Called when the next size bytes go past the window: makes a window that starts at
    // Position() and holds at least size bytes (SetWindow), or fails. size never exceeds
    // Remaining(). A reader of memory has nothing more to show.
    virtual void Refill(size_t size);
    // The window: size bytes at data, which are the source's bytes from offset base on.
    void SetWindow(size_t base, const uint8_t* data, size_t size)
    {
        Base = base;
        Data = data;
        End = size;
        Pos = 0;
    }
    [[noreturn]] void FailShort(size_t size) const;

private:
    const uint8_t* Take(size_t size)
    {
        if (size > End - Pos) {
            if (size > Remaining())
                FailShort(size);
            Refill(size);
        }
        const uint8_t* p = Data + Pos;
        Pos += size;
        return p;
    }

    template <typename U>
    static U GetLE(const uint8_t* p)
    {
        U v = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&v, p, sizeof(U));
        } else {
            for (size_t i = 0; i < sizeof(U); ++i)
                v |= static_cast<U>(static_cast<U>(p[i]) << (8 * i));
        }
        return v;
    }

    const uint8_t* Data;  // the window
    size_t End;           // its size
    size_t Pos = 0;       // the read position in it
    size_t Base = 0;      // its offset in the source
    size_t Total;         // the size of the source
    const char* Context = nullptr;
};
