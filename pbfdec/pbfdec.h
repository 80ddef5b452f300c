// Exports of the file encryption library and their result codes.
#pragma once

#define PBF_OK             1
#define PBF_WRONG_KEY      50001
#define PBF_CANNOT_WRITE   50002
#define PBF_SOURCE_MISSING 50003
#define PBF_UNKNOWN        50100

// source, target, key, reserved (always 0), work buffer of 256 bytes.
typedef int(__cdecl* PbfFileFunction)(const char*, const char*, const char*, int, char*);

#ifdef PBFDEC_BUILD
#define PBFDEC_API extern "C" __declspec(dllexport)
#else
#define PBFDEC_API extern "C" __declspec(dllimport)
#endif

// Decrypts source into target. The target exists only when PBF_OK is returned.
PBFDEC_API int __cdecl FileDecryptA(const char* source, const char* target, const char* key, int reserved,
                                    char* buffer);

// Encrypts source into target. The target exists only when PBF_OK is returned.
PBFDEC_API int __cdecl FileEncryptA(const char* source, const char* target, const char* key, int reserved,
                                    char* buffer);
