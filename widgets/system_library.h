// Functions of system DLLs that the radio needs only now and then (the
// chime, screen readers): their library is loaded at the first use, not at
// every start, and from the system folder by its full path, so that no
// library of that name elsewhere is taken.
#pragma once

#include <windows.h>

// `procedure` of `library` ("winmm.dll") in the system folder, or null.
FARPROC system_procedure(const char *library, const char *procedure);

// A looked-up procedure as the function type it has.
template <typename Function>
Function function_cast(FARPROC procedure)
{
    // Through void (*)(), the one type GCC lets convert to any other function type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
}

// system_procedure as the function type it has.
template <typename Function>
Function system_function(const char *library, const char *procedure)
{
    return function_cast<Function>(system_procedure(library, procedure));
}
