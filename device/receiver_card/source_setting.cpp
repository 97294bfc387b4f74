#include "source_setting.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char SignalSourceName[] = "SignalSource";
constexpr char GainName[] = "SdrGain";
constexpr char PpmName[] = "SdrPpm";
constexpr char ServerPrefix[] = "rtl_tcp:";
constexpr size_t ValueCapacity = sizeof(ServerPrefix) + sizeof(SourceSetting::host) + 8; // ":65535" and brackets

int32_t load_number(HKEY key, const char *name, int32_t low, int32_t high)
{
    DWORD type = 0;
    int32_t value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value) || value < low || value > high)
        return 0;
    return value;
}

} // namespace

bool parse_server(const char *text, SourceSetting &setting)
{
    const char *colon = std::strrchr(text, ':');
    if (!colon || colon == text)
        return false;
    // The port: decimal digits only, 1..65535.
    const char *digits = colon + 1;
    if (*digits == '\0' || std::strlen(digits) > 5)
        return false;
    long port = 0;
    for (const char *c = digits; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        port = port * 10 + (*c - '0');
    }
    if (port < 1 || port > 65535)
        return false;
    // The host, without the brackets of an IPv6 address; printable, no spaces.
    const char *host = text;
    size_t length = static_cast<size_t>(colon - text);
    if (length >= 2 && host[0] == '[' && host[length - 1] == ']') {
        ++host;
        length -= 2;
    }
    if (length == 0 || length >= sizeof(setting.host))
        return false;
    for (size_t i = 0; i < length; ++i)
        if (host[i] <= ' ' || host[i] > '~' || host[i] == '[' || host[i] == ']' || host[i] == '/')
            return false;
    std::memcpy(setting.host, host, length);
    setting.host[length] = '\0';
    setting.port = static_cast<uint16_t>(port);
    setting.server = true;
    return true;
}

void load_source_setting(HKEY key, SourceSetting &setting)
{
    setting = SourceSetting();
    setting.gainTenthsDb = load_number(key, GainName, 0, MaxGainTenthsDb);
    setting.ppm = load_number(key, PpmName, -MaxPpm, MaxPpm);
    char value[ValueCapacity] = {};
    DWORD type = 0;
    DWORD size = sizeof(value) - 1; // room for a terminator the value may lack
    const LONG result =
        RegQueryValueExA(key, SignalSourceName, nullptr, &type, reinterpret_cast<BYTE *>(value), &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return;
    const size_t prefix = sizeof(ServerPrefix) - 1;
    if (result == ERROR_SUCCESS && type == REG_SZ && (value[0] == '\0' || (std::strncmp(value, ServerPrefix, prefix) == 0 &&
                                                                          parse_server(value + prefix, setting))))
        return;
    setting = SourceSetting();
    RegSetValueExA(key, SignalSourceName, 0, REG_SZ, reinterpret_cast<const BYTE *>(""), 1);
}

void store_source_setting(HKEY key, const SourceSetting &setting)
{
    char value[ValueCapacity] = {};
    if (setting.server) {
        const bool ipv6 = std::strchr(setting.host, ':') != nullptr;
        std::snprintf(value, sizeof(value), ipv6 ? "%s[%s]:%u" : "%s%s:%u", ServerPrefix, setting.host,
                      static_cast<unsigned>(setting.port));
    }
    RegSetValueExA(key, SignalSourceName, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                   static_cast<DWORD>(std::strlen(value) + 1));
    RegSetValueExA(key, GainName, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&setting.gainTenthsDb),
                   sizeof(setting.gainTenthsDb));
    RegSetValueExA(key, PpmName, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&setting.ppm), sizeof(setting.ppm));
}
