#pragma once
// ASCII DXF as a stream of group pairs: a line with an integer group code, then a line with the
// value. The reader types each value by the range its code falls in, walks the sections and
// collects the pairs of one record into a fixed array indexed by code; it knows nothing of
// entities. The writer types values by the same table, so what we write reads back as written.
//
// Text is UTF-8 in memory. In the file it is in the code page that $DWGCODEPAGE names (ANSI_1250
// to ANSI_1258 and the DOS code pages; Windows-1252 for any other name and when none is given),
// except in files of version 2007 and later ($ACADVER AC1021 or above) and files whose
// $DWGCODEPAGE says UTF-8, which hold UTF-8. Only the text form of DXF is read.
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TFileReplace;

// ---- Group codes ---------------------------------------------------------------------------

enum class TDXFGroupKind : uint8_t {
    Text,     // value line trimmed
    Real,     // Double; '.' or, in a value without '.', ',' as the separator
    Integer,  // 32-bit signed
    RawText,  // value line exactly as read, blanks kept
};

// The one table of group-code ranges, read by the reader and the writer alike.
TDXFGroupKind DXFGroupKind(int Code);

// Locale-free number parsing of a value line: blanks around the number are ignored; a value
// without '.' may use ',' as its decimal separator. False for anything else (empty, letters,
// "1,234.5", "inf"; "12.0" or "1e3" for an integer).
bool ParseDXFReal(std::string_view Line, double& Value);
bool ParseDXFInteger(std::string_view Line, int32_t& Value);

// Reals of entities beyond this magnitude are taken for damage: no drawing measures anything
// near it, and its square still leaves room before the range of a double ends.
constexpr double DXFRealLimit = 1e12;

enum class TDXFCodePage : uint8_t { Windows1252, Utf8 };

// ---- Values and records --------------------------------------------------------------------

struct TDXFValue {
    enum class TKind : uint8_t { Empty, Text, Real, Integer };

    TKind Kind = TKind::Empty;
    std::string Text;  // UTF-8
    double Real = 0;
    int32_t Integer = 0;

    // Empty means the group was not given.
    bool IsPresent() const { return Kind != TKind::Empty; }
    bool IsText(std::string_view S) const { return Kind == TKind::Text && Text == S; }
    void Clear();
    void SetText(std::string_view S);
    void SetReal(double V);
    void SetInteger(int32_t V);
};

// Slot s holds group code s for codes 0-255 and code s + 744 for slots 256-512 (codes 1000-1256).
// Other codes have no slot.
struct TDXFRecord {
    static constexpr int SlotCount = 513;
    // Written through Store, so that Clear knows which slots to empty.
    std::array<TDXFValue, SlotCount> Slots;

    // -1 when the code has no slot.
    static int SlotOf(int Code);
    // The value of a group code; an empty value for codes without a slot.
    const TDXFValue& Group(int Code) const;
    void Store(int Slot, const TDXFValue& Value);
    // Empties every slot stored since the last Clear, so that a record read into a reused array
    // shows only its own groups. Cheap: an entity touches a dozen slots of the 513.
    void Clear();

private:
    std::vector<uint16_t> Stored;
};

// ---- Reader --------------------------------------------------------------------------------

// HEADER 0, TABLES 1, BLOCKS 2, ENTITIES 3, CLASSES 4; None 5 for a section of any other name and
// for the end of the file.
enum class TDXFSection : uint8_t { Header = 0, Tables = 1, Blocks = 2, Entities = 3, Classes = 4, None = 5 };

class TCharsetDecoder;

class TDXFRead {
public:
    // Opens the file and stands in its first section. Never raises: when the file cannot be
    // opened, is binary DXF, is not DXF at all (the message says what it is) or its first pair
    // cannot be read, the message is kept in ErrorMessage, shown to the user unless TellUser is
    // off (a caller that tells it in its own words), and Failed is set.
    explicit TDXFRead(const std::string& FileName, bool TellUser = true);
    // The same over a copy of DXF text in memory.
    static std::unique_ptr<TDXFRead> FromText(std::string_view Text);
    ~TDXFRead();
    TDXFRead(const TDXFRead&) = delete;
    TDXFRead& operator=(const TDXFRead&) = delete;

    // Back to the start of the file, standing in the first section again.
    void Rewind();

    // Reads the next pair into Code and Value. False at the end: after the pair 0/EOF (which is
    // never delivered), when the file ends before a complete pair, and at every call after that;
    // then Code is 0 and Value empty. A code line that is not an integer raises ECADFileNotValid.
    bool ReadGroup();
    // The same, answering False also on a pair of code 0 (the start of the next record).
    bool ReadGroupInRecord();
    // Moves to the next section and sets Section (None at the end of the file).
    void NextSection();
    // Stores the pairs of one record into Record, from the pair the reader stands on up to the
    // next pair of code StopCode or 0. Answers StopCode when a record was read, 0 when none was
    // found; with StopCode 0 (entities, table entries) the answer is 0 either way, with StopCode 9
    // (header variables) the reader must stand on or before a code-9 pair. Slots the record does
    // not give keep their values.
    int ReadRecord(int StopCode, TDXFRecord& Record);

    bool AtEnd() const { return Ended; }
    // Since the start: a section was entered.
    bool FoundSection() const { return SectionsFound; }
    // The input ended inside a section: neither its ENDSEC nor the pair 0/EOF came. The name of
    // that section, empty when it had none.
    bool EndedInsideSection() const { return Ended && InSection && !EndMarker; }
    // The input ended without the pair 0/EOF that ends a whole file.
    bool EndedWithoutEndMark() const { return Ended && !EndMarker; }
    const std::string& SectionName() const { return OpenSectionName; }
    // The bytes of the input; readers bound what they build by it.
    uint64_t InputSize() const { return Size; }

    // Called after each piece read from a file with the bytes read since the start and the
    // file's size, for the progress bar of a long import.
    std::function<void(uint64_t Done, uint64_t Total)> OnProgress;

    TDXFSection Section = TDXFSection::None;
    int32_t Code = 0;
    TDXFValue Value;
    bool Failed = false;
    std::string ErrorMessage;
    // Since the start: values of real codes below 1000 (extended data aside) that are not numbers
    // ("nan"), are infinite ("inf", "1e999") or lie beyond DXFRealLimit.
    uint64_t OutOfRangeReals = 0;
    // How text values are decoded; set from the header's $ACADVER and $DWGCODEPAGE as they pass.
    TDXFCodePage CodePage = TDXFCodePage::Windows1252;

private:
    TDXFRead() = default;
    void Start();
    // Text is shown as it stands.
    void Fail(const std::string& Text);
    // The next line without its line end; false at the end of the input.
    bool NextLine(std::string_view& Line);
    // The usual pair: a code line of blanks and at most four digits and its value line, both
    // whole in the buffer. False, having read nothing, for anything else.
    bool NextPlainPair(int32_t& PairCode, std::string_view& Line);
    // The code of the next pair and its value line; false when the input ends before both.
    // A code line that is not an integer raises ECADFileNotValid.
    bool NextPairLines(int32_t& PairCode, std::string_view& Line);
    bool Refill();
    // The bytes the next read of the file asks for.
    size_t NextPieceSize() const;
    // Up to Max bytes of the file; raises ECADFileNotValid on a read error.
    size_t ReadPiece(char* To, size_t Max);
    // Starts reading the next piece of the file into AheadBuffer on another thread.
    void ReadAhead();
    // Waits for a piece being read ahead and forgets it.
    void DropReadAhead() noexcept;
    void StoreValue(std::string_view Line);
    void StoreText(std::string_view Bytes);
    void NoteHeaderVariable(std::string_view Trimmed);

    bool FromFile = false;
    std::string Name; // of the file, for messages; empty for text in memory
    bool TellUser = true;
    std::FILE* File = nullptr;
    uint64_t Size = 0;
    uint64_t BytesRead = 0;
    std::vector<char> Buffer;  // Buffer[Pos, Filled) not yet read
    // The piece of the file after Buffer's, while it is read ahead; the file is used by no one
    // else until it has come.
    std::future<size_t> Ahead;
    std::vector<char> AheadBuffer;
    size_t Pos = 0;
    size_t Filled = 0;
    bool InputDone = false;
    bool Ended = false;
    uint64_t LineNumber = 0;
    // The header variable whose value pair comes next (0 none, 1 $ACADVER, 2 $DWGCODEPAGE).
    int PendingVariable = 0;
    bool VersionIsUtf8 = false;
    // The table of the code page the header names; none for Windows-1252.
    std::unique_ptr<TCharsetDecoder> Decoder;
    bool SectionsFound = false;
    bool InSection = false;
    bool EndMarker = false;
    std::string OpenSectionName;
};

// ---- Writer --------------------------------------------------------------------------------

// Writes group pairs with CR LF line ends into a temporary file beside the target; Commit puts
// it in place, so a failed or abandoned write never destroys an existing file.
class TDXFWrite {
public:
    // Raises ECADCoreException when the file cannot be created.
    explicit TDXFWrite(const std::string& FileName);
    // Without Commit the temporary file is removed and the target left as it was.
    ~TDXFWrite();
    TDXFWrite(const TDXFWrite&) = delete;
    TDXFWrite& operator=(const TDXFWrite&) = delete;

    // Empties what was written and starts again.
    void Rewrite();
    // The code as "%3d"; the value typed by the code: text cut to 255 characters, a real as
    // "%.6f", an integer as "%6d", always with '.'. A value of another type than its code's is
    // converted (a text that is not a number raises ECADCoreException). Line breaks inside a
    // text become blanks.
    void WriteGroup(int Code, std::string_view Value);
    void WriteGroup(int Code, const char* Value) { WriteGroup(Code, std::string_view(Value)); }
    void WriteGroup(int Code, double Value);
    void WriteGroup(int Code, int32_t Value);
    // 0 "SECTION", 2 "HEADER" / "TABLES" / "BLOCKS" / "ENTITIES".
    void BeginSection(TDXFSection Kind);
    void EndSection();
    // Syncs the new file and renames it over the target; raises ECADCoreException on any failure.
    void Commit();

    TDXFCodePage CodePage = TDXFCodePage::Windows1252;

private:
    void WriteLine(std::string_view Line);
    // Runs a step on the new file; a failure removes the file and raises ECADCoreException.
    template <typename F> void Check(F&& Step);

    std::string FileName;
    std::unique_ptr<TFileReplace> File; // null once committed or failed
};

// The message of a file that cannot be opened, created or written.
std::string DXFFileErrorText(const std::string& FileName, int Errno);
