// SHA-256 through the system's cryptography provider (CNG), as sha256sum computes it.
#pragma once

#include <windows.h>

#include <string>

// The digest of bytes as 64 lower-case hexadecimal digits; empty when the provider fails.
std::string Sha256Hex(const std::string& bytes);

// The digest of an open file read from its start to its end, and the number of bytes read;
// false when the file cannot be read or the provider fails.
bool Sha256OfFile(HANDLE file, std::string& hex, unsigned long long& size);

// Bytes as lower-case hexadecimal digits.
std::string HexText(const unsigned char* bytes, size_t size);
