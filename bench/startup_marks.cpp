// The recorder behind the radio's start-up marks, linked only into the bench
// build radio_marked.exe: each mark's QueryPerformanceCounter reading (one
// clock for every process), written at "painted" to the file named by the
// environment variable RADIO_STARTUP_MARKS, one "step milliseconds" a line.
#include "startup_marks.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

struct Mark {
    const char *step;
    LARGE_INTEGER at;
};

constexpr int MaxMarks = 16;
Mark marks[MaxMarks];
int markCount;
bool written;

void write_marks()
{
    written = true;
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("RADIO_STARTUP_MARKS", path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return;
    FILE *file = std::fopen(path, "w");
    if (!file)
        return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int index = 0; index < markCount; ++index)
        std::fprintf(file, "%s %.3f\n", marks[index].step,
                     static_cast<double>(marks[index].at.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
    std::fclose(file);
}

} // namespace

void startup_mark(const char *step)
{
    if (written || markCount == MaxMarks)
        return; // start-up is over
    marks[markCount].step = step;
    QueryPerformanceCounter(&marks[markCount].at);
    ++markCount;
    if (std::strcmp(step, "painted") == 0)
        write_marks();
}
