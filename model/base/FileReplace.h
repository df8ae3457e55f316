#pragma once
// Saving never destroys the old file: the new contents go to a fresh file in the same folder,
// reach the disk, and only then take the old file's name.
#include <cstddef>
#include <stdexcept>
#include <string>

class EFileReplace : public std::runtime_error {
public:
    EFileReplace(const char* step, int err);
    const char* Step;  // "create", "write" or "rename"
    int Err;           // the errno of the failed call
};

// Writes Size bytes to a new file beside FileName, syncs it and renames it over FileName. A file
// that existed keeps its permissions; a new one gets 0666 less the umask. On any failure the new
// file is removed, FileName is left as it was, and EFileReplace says which step failed.
void ReplaceFileContents(const std::string& FileName, const void* Data, size_t Size);
