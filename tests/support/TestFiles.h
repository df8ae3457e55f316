#pragma once
// Whole files as the tests write and read them back.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

inline std::string FileText(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<uint8_t> FileBytes(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& Path, std::string_view Bytes)
{
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

inline void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes)
{
    WriteFile(Path, std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()));
}
