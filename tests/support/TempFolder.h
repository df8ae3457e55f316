#pragma once
// A fresh folder for one test, removed with everything in it at the end.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class TTempFolder {
public:
    TTempFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/rastrel-test-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        Folder = pattern;
    }
    ~TTempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(Folder, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return Folder; }

    std::vector<std::string> FileNames() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string Folder;
};
