// What another running program holds: GDI objects, windows, kernel handles,
// private memory and CPU time, read from outside without its help. Windows
// counts GDI and USER objects in GetGuiResources; Wine 8 answers 0 there, so
// GDI objects are counted in the program's own GDI handle table (mapped in
// its address space and named by its process environment block), and USER
// objects as the windows it owns.
#pragma once

#include <windows.h>

#include <cstdint>

namespace testing {

struct ProcessFigures {
    int gdiObjects = -1;  // live entries of its GDI handle table; -1 unknown
    int windows = -1;     // top-level and child windows of its threads
    int handles = -1;     // kernel handles; -1 unknown
    int64_t privateBytes = -1;
    double cpuSeconds = -1; // user + kernel time of all its threads
};

class ProcessProbe {
public:
    explicit ProcessProbe(DWORD processId);
    virtual ~ProcessProbe();
    ProcessProbe(const ProcessProbe &) = delete;
    ProcessProbe &operator=(const ProcessProbe &) = delete;

    bool Valid() const { return process != nullptr; }
    ProcessFigures Read() const;
    int GdiObjects() const;
    int Windows() const;
    int Handles() const;
    double CpuSeconds() const;

private:
    DWORD id;
    HANDLE process;
};

} // namespace testing
