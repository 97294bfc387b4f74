#include "system_library.h"

#include <cstring>

FARPROC system_procedure(const char *library, const char *procedure)
{
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    const size_t nameSize = std::strlen(library) + 1;
    if (length == 0 || length + 1 + nameSize > sizeof(path))
        return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, library, nameSize);
    // Loaded for good: the program keeps using what it looked up.
    HMODULE module = LoadLibraryA(path);
    return module ? GetProcAddress(module, procedure) : nullptr;
}
