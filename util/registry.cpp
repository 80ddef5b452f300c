#include "util/registry.h"

#include <algorithm>

RegKey OpenUserKey(const std::string& path)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

RegKey OpenSubkey(const RegKey& parent, const std::string& name)
{
    RegKey key;
    if (!parent || RegOpenKeyExA(parent.get(), name.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

bool UserKeyExists(const std::string& path)
{
    return static_cast<bool>(OpenUserKey(path));
}

ValueRead ReadStringValue(const RegKey& key, const std::string& name, std::string& value)
{
    if (!key)
        return ValueRead::Missing;
    // Most values fit the first buffer and cost one call; longer ones are read again at their size.
    DWORD type = 0;
    std::string data(256, '\0');
    auto size = static_cast<DWORD>(data.size());
    LONG result = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_MORE_DATA) {
        data.assign(size, '\0');
        result = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    }
    if (result != ERROR_SUCCESS)
        return ValueRead::Missing;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ValueRead::WrongType;
    // The stored data may or may not include its terminating NUL.
    data.resize(std::min<size_t>(size, data.find('\0')));
    value = data;
    return ValueRead::Ok;
}

ValueRead ReadIntegerValue(const RegKey& key, const std::string& name, int& value)
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LONG result =
        key ? RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size)
            : ERROR_FILE_NOT_FOUND;
    if (result == ERROR_FILE_NOT_FOUND || !key)
        return ValueRead::Missing;
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data))
        return ValueRead::WrongType;
    value = static_cast<int>(data);
    return ValueRead::Ok;
}

RegKey CreateUserKey(const std::string& path)
{
    RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        key.reset();
    return key;
}

void DeleteUserTree(const std::string& path)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

bool WriteStringValue(const RegKey& key, const std::string& name, const std::string& value)
{
    return key && RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool WriteIntegerValue(const RegKey& key, const std::string& name, int value)
{
    const DWORD data = static_cast<DWORD>(value);
    return key && RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                 sizeof(data)) == ERROR_SUCCESS;
}

bool DeleteValue(const RegKey& key, const std::string& name)
{
    if (!key)
        return false;
    const LONG result = RegDeleteValueA(key.get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool ReadRawValue(const RegKey& key, const std::string& name, unsigned long& type, std::string& data)
{
    DWORD size = 0;
    DWORD kind = 0;
    if (!key || RegQueryValueExA(key.get(), name.c_str(), nullptr, &kind, nullptr, &size) != ERROR_SUCCESS)
        return false;
    data.assign(size, '\0');
    if (size > 0 && RegQueryValueExA(key.get(), name.c_str(), nullptr, &kind, reinterpret_cast<BYTE*>(data.data()),
                                     &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    type = kind;
    return true;
}

bool WriteRawValue(const RegKey& key, const std::string& name, unsigned long type, const std::string& data)
{
    return key && RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

std::vector<std::string> SubkeyNames(const RegKey& key)
{
    std::vector<std::string> names;
    for (std::string name; SubkeyName(key, static_cast<unsigned long>(names.size()), name);)
        names.push_back(name);
    return names;
}

unsigned long SubkeyCount(const RegKey& key)
{
    DWORD count = 0;
    if (!key || RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

bool SubkeyName(const RegKey& key, unsigned long index, std::string& name)
{
    if (!key)
        return false;
    char text[256];
    DWORD length = sizeof(text);
    if (RegEnumKeyExA(key.get(), index, text, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    name.assign(text, length);
    return true;
}
