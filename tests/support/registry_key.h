// A registry key of the test prefix that a test owns: deleted with all it
// holds when the test starts and again when it ends, so each story starts
// from a machine that never had it. Values are set and read back raw, as
// another program (or regedit) would see them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing {

struct RegistryValue {
    bool present;
    DWORD type;
    std::vector<uint8_t> data;
};

class RegistryKey {
public:
    explicit RegistryKey(const std::string &path); // under HKEY_LOCAL_MACHINE
    virtual ~RegistryKey();

    const char *Path() const { return path_.c_str(); }
    bool Exists() const;
    void Create();
    void Set(const char *name, DWORD type, const std::vector<uint8_t> &data);
    void SetNumber(const char *name, uint32_t value);
    void Remove(const char *name);
    RegistryValue Get(const char *name) const;
    std::vector<std::string> ValueNames() const;
    // One line per value: name, type and size, for the test log.
    std::string Dump() const;
    // An access list that lets everyone read the key and set its values and
    // nothing more: opening it with full access fails, as under
    // HKEY_LOCAL_MACHINE for a standard user, while a value set through a
    // handle opened with less access still lands, where a test can see it.
    void Lock();
    void Unlock();

private:
    std::string path_;
};

// Little-endian bytes of 32-bit numbers, as the registry holds them.
std::vector<uint8_t> Bytes(const std::vector<int32_t> &numbers);
std::vector<uint8_t> Bytes(std::initializer_list<int32_t> numbers);

} // namespace testing
