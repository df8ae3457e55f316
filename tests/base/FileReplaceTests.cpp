// The one way every save replaces a file: the new contents reach the target whole or not at all,
// and a failure at any step leaves the old file's bytes and mode and no temporary file.
#include "FileReplace.h"

#include "FileSizeLimit.h"
#include "TempFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::string OldFile(const TTempFolder& folder, mode_t mode)
{
    const std::string path = folder.Path() + "/drawing.pnc";
    std::ofstream(path, std::ios::binary) << "old contents";
    fs::permissions(path, fs::perms(mode));
    return path;
}

} // namespace

TEST(FileReplace, ReplacesTheContentsAndKeepsTheMode)
{
    TTempFolder folder;
    const std::string path = OldFile(folder, 0640);
    ReplaceFileContents(path, "new", 3);
    EXPECT_EQ(FileText(path), "new");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"drawing.pnc"});

    // A new file gets the usual mode: 0666 less the umask.
    const mode_t mask = ::umask(022);
    ReplaceFileContents(folder.Path() + "/new.dxf", "x", 1);
    ::umask(mask);
    EXPECT_EQ(ModeOf(folder.Path() + "/new.dxf"), 0644u);
}

TEST(FileReplace, StreamedPiecesReachTheTargetOnlyOnCommit)
{
    TTempFolder folder;
    const std::string path = OldFile(folder, 0600);
    std::string expected;
    {
        TFileReplace file(path);
        // Small pieces gather, a large one passes straight through, and the order holds.
        for (int i = 0; i < 10000; ++i) {
            const std::string piece = std::to_string(i) + "\n";
            file.Write(piece);
            expected += piece;
        }
        const std::string large(300000, 'L');
        file.Write(large);
        expected += large;
        file.Write("end");
        expected += "end";
        EXPECT_EQ(FileText(path), "old contents");
        file.Commit();
    }
    EXPECT_EQ(FileText(path), expected);
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"drawing.pnc"});

    // Started again from empty, then abandoned: the committed file stays.
    {
        TFileReplace file(path);
        file.Write("first try");
        file.Rewrite();
        file.Write("second");
        file.Commit();
    }
    EXPECT_EQ(FileText(path), "second");
    {
        TFileReplace file(path);
        file.Write(std::string(200000, 'A'));
    }
    EXPECT_EQ(FileText(path), "second");
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"drawing.pnc"});
}

TEST(FileReplace, EveryFailedStepKeepsTheOldFile)
{
    const std::string big(1 << 20, 'B');
    struct TCase {
        const char* Name;
        std::function<void(const std::string& target)> Save;
        const char* Step;
        int Err;
    };
    const std::vector<TCase> cases = {
        {"a write fails part way",
         [&](const std::string& target) {
             TFileSizeLimit limit(4096);
             ReplaceFileContents(target, big.data(), big.size());
         },
         "write", EFBIG},
        {"a streamed write fails on a later piece",
         [&](const std::string& target) {
             TFileReplace file(target);
             TFileSizeLimit limit(200000);
             for (int i = 0; i < 8; ++i)
                 file.Write(big.data(), 65536);
             file.Commit();
         },
         "write", EFBIG},
        {"the rename fails: the target is a folder that is not empty",
         [&](const std::string& target) { ReplaceFileContents(target + "/folder", "x", 1); }, "rename", 0},
        {"the folder is missing",
         [&](const std::string& target) { ReplaceFileContents(target + "/missing/x.pnc", "x", 1); }, "create",
         ENOENT},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder folder;
        const std::string path = OldFile(folder, 0640);
        fs::create_directory(folder.Path() + "/folder");
        std::ofstream(folder.Path() + "/folder/inside") << "kept";
        const std::string target = std::string(c.Step) == "write" ? path : folder.Path();
        try {
            c.Save(target);
            ADD_FAILURE() << "no exception";
        } catch (const EFileReplace& e) {
            EXPECT_STREQ(e.Step, c.Step);
            // Renaming a file over a folder fails as EISDIR or ENOTEMPTY, as the system decides.
            if (c.Err != 0) {
                EXPECT_EQ(e.Err, c.Err);
            }
        }
        EXPECT_EQ(FileText(path), "old contents");
        EXPECT_EQ(ModeOf(path), 0640u);
        EXPECT_EQ(FileText(folder.Path() + "/folder/inside"), "kept");
        EXPECT_EQ(folder.FileNames(), (std::vector<std::string>{"drawing.pnc", "folder"}));
    }
}
