// Reading the current user's hive. Keys are opened with full access and never created here.
#pragma once

#include "util/handles.h"

#include <string>
#include <vector>

enum class ValueRead { Ok, Missing, WrongType };

// The key below HKEY_CURRENT_USER, or an empty owner when it does not exist.
RegKey OpenUserKey(const std::string& path);

// A direct subkey of an open key, or an empty owner.
RegKey OpenSubkey(const RegKey& parent, const std::string& name);

bool UserKeyExists(const std::string& path);

// A string value (REG_SZ or REG_EXPAND_SZ, not expanded). WrongType for any other type.
ValueRead ReadStringValue(const RegKey& key, const std::string& name, std::string& value);

// An integer value (REG_DWORD). WrongType for any other type.
ValueRead ReadIntegerValue(const RegKey& key, const std::string& name, int& value);

// The key below HKEY_CURRENT_USER, created when missing; empty when that fails.
RegKey CreateUserKey(const std::string& path);

// Removes the key with all its subkeys and values.
void DeleteUserTree(const std::string& path);

bool WriteStringValue(const RegKey& key, const std::string& name, const std::string& value);
bool WriteIntegerValue(const RegKey& key, const std::string& name, int value);
// True when the value is gone afterwards, also when there was none.
bool DeleteValue(const RegKey& key, const std::string& name);

// Any value as its type and bytes, for putting it back later; false when there is none.
bool ReadRawValue(const RegKey& key, const std::string& name, unsigned long& type, std::string& data);
bool WriteRawValue(const RegKey& key, const std::string& name, unsigned long type, const std::string& data);

// The names of the key's direct subkeys, in the order the registry enumerates them.
std::vector<std::string> SubkeyNames(const RegKey& key);

// How many direct subkeys the key has, and the name of one by its place in the enumeration;
// false when there is none at the place. Threads may enumerate one key side by side.
unsigned long SubkeyCount(const RegKey& key);
bool SubkeyName(const RegKey& key, unsigned long index, std::string& name);
