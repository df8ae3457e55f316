#pragma once
// Saving never destroys the old file: the new contents go to a fresh file in the same folder,
// reach the disk, and only then take the old file's name. Every file the program writes over goes
// through here.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class EFileReplace : public std::runtime_error {
public:
    EFileReplace(const char* step, int err);
    const char* Step;  // "create", "write" or "rename"
    int Err;           // the errno of the failed call
};

// Writes a file's new contents in pieces: the constructor makes a new file with a name of its own
// beside FileName, Write adds to it, Commit syncs it, renames it over FileName and syncs the folder.
// A file that existed keeps its permissions; a new one gets 0666 less the umask. On any failure
// the new file is removed, FileName is left as it was, and EFileReplace says which step failed;
// the object is spent then. Without Commit (an exception on the way, say) the destructor removes
// the new file.
class TFileReplace {
public:
    explicit TFileReplace(std::string FileName);
    ~TFileReplace();
    TFileReplace(const TFileReplace&) = delete;
    TFileReplace& operator=(const TFileReplace&) = delete;

    // Small pieces gather in a buffer; large ones go to the file at once.
    void Write(const void* Data, size_t Size);
    void Write(std::string_view Text) { Write(Text.data(), Text.size()); }
    // Overwrites bytes already written, at Offset from the start of the file.
    void WriteAt(size_t Offset, const void* Data, size_t Size);
    // Drops what was written so far and starts again on an empty file.
    void Rewrite();
    void Commit();

    const std::string& FileName() const { return Target; }

private:
    void Flush();
    [[noreturn]] void Fail(const char* Step, int Err);

    std::string Target;
    std::string Temp;
    int Fd = -1;
    std::vector<char> Pending;
};

// The whole contents at once, through TFileReplace.
void ReplaceFileContents(const std::string& FileName, const void* Data, size_t Size);
