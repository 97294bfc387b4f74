#include "registry_key.h"

#include <doctest.h>

#include <cstdio>

namespace testing {

namespace {

void DeleteTree(const std::string &path)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

class OpenKey {
public:
    OpenKey(const std::string &path, REGSAM access)
    {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &handle) != ERROR_SUCCESS)
            handle = nullptr;
    }
    virtual ~OpenKey()
    {
        if (handle)
            RegCloseKey(handle);
    }
    HKEY handle;
};

} // namespace

RegistryKey::RegistryKey(const std::string &path) : path_(path)
{
    Unlock();
    DeleteTree(path_);
    REQUIRE_MESSAGE(!Exists(), "could not clear " << path_);
}

RegistryKey::~RegistryKey()
{
    Unlock();
    DeleteTree(path_);
}

bool RegistryKey::Exists() const
{
    return OpenKey(path_, KEY_READ).handle != nullptr;
}

void RegistryKey::Create()
{
    HKEY handle = nullptr;
    REQUIRE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                            nullptr) == ERROR_SUCCESS);
    RegCloseKey(handle);
}

void RegistryKey::Set(const char *name, DWORD type, const std::vector<uint8_t> &data)
{
    Create();
    OpenKey key(path_, KEY_SET_VALUE);
    REQUIRE(key.handle);
    REQUIRE(RegSetValueExA(key.handle, name, 0, type, data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS);
}

void RegistryKey::SetNumber(const char *name, uint32_t value)
{
    Set(name, REG_DWORD, Bytes({static_cast<int32_t>(value)}));
}

void RegistryKey::Remove(const char *name)
{
    OpenKey key(path_, KEY_SET_VALUE);
    REQUIRE(key.handle);
    REQUIRE(RegDeleteValueA(key.handle, name) == ERROR_SUCCESS);
}

RegistryValue RegistryKey::Get(const char *name) const
{
    RegistryValue value = {false, REG_NONE, {}};
    OpenKey key(path_, KEY_QUERY_VALUE);
    DWORD size = 0;
    if (!key.handle || RegQueryValueExA(key.handle, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.present = RegQueryValueExA(key.handle, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
    value.data.resize(size);
    return value;
}

std::vector<std::string> RegistryKey::ValueNames() const
{
    std::vector<std::string> names;
    OpenKey key(path_, KEY_QUERY_VALUE);
    for (DWORD index = 0; key.handle; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key.handle, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

std::string RegistryKey::Dump() const
{
    std::string dump = "HKEY_LOCAL_MACHINE\\" + path_ + "\n";
    for (const std::string &name : ValueNames()) {
        RegistryValue value = Get(name.c_str());
        char line[128];
        const char *type = value.type == REG_DWORD ? "REG_DWORD" : value.type == REG_BINARY ? "REG_BINARY" : "other";
        std::snprintf(line, sizeof(line), "  %-18s %-10s %3u bytes\n", name.c_str(), type,
                      static_cast<unsigned>(value.data.size()));
        dump += line;
    }
    return dump;
}

void RegistryKey::Lock()
{
    OpenKey key(path_, WRITE_DAC);
    REQUIRE(key.handle);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    REQUIRE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    DWORD list[64]; // room for the list and its one entry, DWORD-aligned
    auto *readAndSet = reinterpret_cast<ACL *>(list);
    SECURITY_DESCRIPTOR descriptor;
    REQUIRE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    REQUIRE(InitializeAcl(readAndSet, sizeof(list), ACL_REVISION));
    REQUIRE(AddAccessAllowedAce(readAndSet, ACL_REVISION, KEY_READ | KEY_SET_VALUE, everyone));
    REQUIRE(SetSecurityDescriptorDacl(&descriptor, TRUE, readAndSet, FALSE));
    LONG result = RegSetKeySecurity(key.handle, DACL_SECURITY_INFORMATION, &descriptor);
    FreeSid(everyone);
    REQUIRE(result == ERROR_SUCCESS);
}

void RegistryKey::Unlock()
{
    // The owner keeps the right to change the access list.
    OpenKey key(path_, WRITE_DAC);
    if (!key.handle)
        return;
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE); // no list: everyone
    RegSetKeySecurity(key.handle, DACL_SECURITY_INFORMATION, &descriptor);
}

std::vector<uint8_t> Bytes(std::initializer_list<int32_t> numbers)
{
    return Bytes(std::vector<int32_t>(numbers));
}

std::vector<uint8_t> Bytes(const std::vector<int32_t> &numbers)
{
    std::vector<uint8_t> bytes;
    for (int32_t number : numbers) {
        uint32_t word = static_cast<uint32_t>(number);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(word >> shift));
    }
    return bytes;
}

} // namespace testing
