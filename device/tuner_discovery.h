// Finds the tuner card among the present device interfaces of its class and
// opens it for reading and writing. The radio opens the card this way; the
// agent probes for the card this way once a second.
#pragma once

#include <windows.h>

#include <cstdint>

// Opens the interface at `memberIndex` of `interfaceClass`. Returns the open
// handle, owned by the caller, or nullptr; never INVALID_HANDLE_VALUE.
HANDLE open_tuner_interface(const GUID &interfaceClass, uint32_t memberIndex);
