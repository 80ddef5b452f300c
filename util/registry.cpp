#include "util/registry.h"

#include <algorithm>

RegKey OpenUserKey(const std::string& path)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

bool UserKeyExists(const std::string& path)
{
    return static_cast<bool>(OpenUserKey(path));
}

ValueRead ReadStringValue(const RegKey& key, const std::string& name, std::string& value)
{
    DWORD type = 0;
    DWORD size = 0;
    if (!key || RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return ValueRead::Missing;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ValueRead::WrongType;
    std::string data(size, '\0');
    if (size > 0 && RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return ValueRead::Missing;
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

std::vector<std::string> SubkeyNames(const RegKey& key)
{
    std::vector<std::string> names;
    if (!key)
        return names;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name);
        const LONG result = RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}
