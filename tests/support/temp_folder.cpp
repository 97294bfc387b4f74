#include "temp_folder.h"

#include <windows.h>

#include <doctest.h>

#include <cstdio>

namespace testing {

namespace {

void remove_tree(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

} // namespace

TempFolder::TempFolder(const std::string &name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    path = std::string(temp) + name;
    remove_tree(path);
    REQUIRE_MESSAGE(CreateDirectoryA(path.c_str(), nullptr), path);
}

TempFolder::~TempFolder()
{
    remove_tree(path);
}

std::string TempFolder::MakeFolder(const std::string &relative) const
{
    const std::string folder = At(relative);
    REQUIRE_MESSAGE(CreateDirectoryA(folder.c_str(), nullptr), folder);
    return folder;
}

void TempFolder::Write(const std::string &relative, const std::vector<uint8_t> &bytes) const
{
    FILE *file = std::fopen(At(relative).c_str(), "wb");
    REQUIRE_MESSAGE(file, At(relative));
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    REQUIRE(std::fclose(file) == 0);
}

std::string TempFolder::Copy(const std::string &from, const std::string &relative) const
{
    const std::string to = At(relative);
    REQUIRE_MESSAGE(CopyFileA(from.c_str(), to.c_str(), FALSE), to);
    return to;
}

} // namespace testing
