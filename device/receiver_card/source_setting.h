// The signal source as the radio's settings key keeps it: SignalSource
// (REG_SZ) is empty or absent for the tuner card, "rtl_tcp:HOST:PORT" for
// an rtl_tcp server; SdrGain (REG_DWORD) is 0 for the tuner's automatic
// gain, else tenths of a dB; SdrPpm (REG_DWORD) is the signed frequency
// correction.
#pragma once

#include <windows.h>

#include <cstdint>

struct SourceSetting {
    bool server = false; // false: the tuner card
    char host[256] = {};
    uint16_t port = 1234;
    int32_t gainTenthsDb = 0;
    int32_t ppm = 0;
};

// The text after "rtl_tcp:": a host (an IPv6 address in brackets) and a
// port of 1 to 65535. False for anything else.
bool parse_server(const char *text, SourceSetting &setting);

// Reads the three values. A SignalSource that names no usable server, or
// is not a string, is the card, and is written back as empty, as every bad
// setting falls back to its default. Gain and correction out of range are 0.
void load_source_setting(HKEY key, SourceSetting &setting);
// Writes the three values at once.
void store_source_setting(HKEY key, const SourceSetting &setting);

// What the settings allow.
constexpr int32_t MaxGainTenthsDb = 600; // no tuner goes beyond 60 dB
constexpr int32_t MaxPpm = 1000;
