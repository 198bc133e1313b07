#pragma once
// A scratch folder per test, and whole-file reads and writes.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

typedef std::vector<unsigned char> Bytes;

/* A fresh directory for one test, removed with everything in it at the end. */
struct TempFolder
{
    std::filesystem::path path;
    TempFolder()
    {
        // Lower case only, since the programs lower-case the paths they are given.
        static int made = 0;
        const std::string base = "lanescope" + std::to_string(getpid()) + "_";
        for (int tries = 0; tries < 1000; tries++) {
            const std::filesystem::path name =
                std::filesystem::temp_directory_path() / (base + std::to_string(++made));
            if (mkdir(name.c_str(), 0700) == 0) {
                path = name;
                break;
            }
        }
    }
    ~TempFolder()
    {
        // Without a folder of its own there is nothing to remove; another one of that name is not ours.
        if (path.empty())
            return;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    /* Names of every entry in the directory, sorted. */
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

/* The whole content of a file; empty when it cannot be read. */
inline Bytes ReadAll(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/* Replaces a file's content with bytes. */
inline void WriteAll(const std::string& name, const Bytes& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
