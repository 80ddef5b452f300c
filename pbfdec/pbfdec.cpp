// Stand-in for the vendor's file encryption library: AES-256-GCM over fixed-size segments, with a
// key derived from the farm key by PBKDF2-HMAC-SHA256 and a random salt, all through CNG.
//
// File layout: header (magic, format version, iterations, segment size, salt, nonce base), then
// segments of [plain length u32][cipher text][tag]. Each segment's nonce is the nonce base with
// the segment number mixed in; its authenticated data is the header, the segment number and a
// last-segment flag, so a changed header, reordered segments, truncation and appended bytes all
// fail authentication. Memory stays at two segments whatever the file size.
#define PBFDEC_BUILD
#include "pbfdec/pbfdec.h"

#include "util/handles.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'P', 'B', 'F', 'K'};
constexpr std::uint16_t kFormatVersion = 1;
// Keeps one call on a small file well below 100 ms while making key guessing costly.
constexpr std::uint32_t kIterations = 20000;
constexpr std::uint32_t kSegmentSize = 1u << 20;
constexpr std::uint32_t kMaxIterations = 10'000'000;
constexpr std::uint32_t kMaxSegmentSize = 16u << 20;
constexpr size_t kSaltSize = 16;
constexpr size_t kNonceSize = 12;
constexpr size_t kTagSize = 16;
constexpr size_t kKeySize = 32;
constexpr size_t kHeaderSize = 4 + 2 + 2 + 4 + 4 + kSaltSize + kNonceSize;

using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;

struct AlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle h) { return BCRYPT_SUCCESS(BCryptCloseAlgorithmProvider(h, 0)); }
};
struct KeyTraits {
    using Handle = BCRYPT_KEY_HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle h) { return BCRYPT_SUCCESS(BCryptDestroyKey(h)); }
};
using Algorithm = UniqueHandle<AlgorithmTraits>;
using CipherKey = UniqueHandle<KeyTraits>;

void PutU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t GetU32(const std::uint8_t* p)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

struct Header {
    std::uint32_t iterations = kIterations;
    std::uint32_t segmentSize = kSegmentSize;
    std::array<std::uint8_t, kSaltSize> salt{};
    std::array<std::uint8_t, kNonceSize> nonceBase{};

    HeaderBytes Bytes() const
    {
        HeaderBytes b{};
        std::memcpy(b.data(), kMagic.data(), kMagic.size());
        PutU16(b.data() + 4, kFormatVersion);
        PutU16(b.data() + 6, 0);
        PutU32(b.data() + 8, iterations);
        PutU32(b.data() + 12, segmentSize);
        std::memcpy(b.data() + 16, salt.data(), kSaltSize);
        std::memcpy(b.data() + 16 + kSaltSize, nonceBase.data(), kNonceSize);
        return b;
    }

    // False when the bytes are not a header of this format.
    bool Parse(const HeaderBytes& b)
    {
        if (std::memcmp(b.data(), kMagic.data(), kMagic.size()) != 0 || GetU16(b.data() + 4) != kFormatVersion ||
            GetU16(b.data() + 6) != 0)
            return false;
        iterations = GetU32(b.data() + 8);
        segmentSize = GetU32(b.data() + 12);
        std::memcpy(salt.data(), b.data() + 16, kSaltSize);
        std::memcpy(nonceBase.data(), b.data() + 16 + kSaltSize, kNonceSize);
        return iterations > 0 && iterations <= kMaxIterations && segmentSize > 0 && segmentSize <= kMaxSegmentSize;
    }
};

bool Random(std::uint8_t* data, size_t size)
{
    return BCRYPT_SUCCESS(
        BCryptGenRandom(nullptr, data, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

// AES-GCM with one derived key, sealing and opening numbered segments.
class SegmentCipher {
public:
    bool Init(const char* key, const Header& header)
    {
        header_ = header;
        headerBytes_ = header.Bytes();

        // A leading byte gives the HMAC a secret even for an empty farm key.
        std::string password = std::string(1, '\x01') + key;
        std::array<std::uint8_t, kKeySize> derived{};
        Algorithm hmac;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(hmac.put(), BCRYPT_SHA256_ALGORITHM, nullptr,
                                                        BCRYPT_ALG_HANDLE_HMAC_FLAG)))
            return false;
        const bool derivedOk = BCRYPT_SUCCESS(BCryptDeriveKeyPBKDF2(
            hmac.get(), reinterpret_cast<PUCHAR>(password.data()), static_cast<ULONG>(password.size()),
            header_.salt.data(), static_cast<ULONG>(kSaltSize), header_.iterations, derived.data(),
            static_cast<ULONG>(kKeySize), 0));
        SecureZeroMemory(password.data(), password.size());
        if (!derivedOk)
            return false;

        const bool ok =
            BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(aes_.put(), BCRYPT_AES_ALGORITHM, nullptr, 0)) &&
            BCRYPT_SUCCESS(BCryptSetProperty(aes_.get(), BCRYPT_CHAINING_MODE,
                                             reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_GCM)),
                                             sizeof(BCRYPT_CHAIN_MODE_GCM), 0)) &&
            BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(aes_.get(), key_.put(), nullptr, 0, derived.data(),
                                                      static_cast<ULONG>(kKeySize), 0));
        SecureZeroMemory(derived.data(), derived.size());
        return ok;
    }

    bool Seal(std::uint64_t index, bool last, const std::uint8_t* plain, std::uint32_t size, std::uint8_t* cipher,
              std::uint8_t* tag)
    {
        return Run(true, index, last, plain, size, cipher, tag);
    }

    bool Open(std::uint64_t index, bool last, const std::uint8_t* cipher, std::uint32_t size, std::uint8_t* plain,
              std::uint8_t* tag)
    {
        return Run(false, index, last, cipher, size, plain, tag);
    }

private:
    bool Run(bool seal, std::uint64_t index, bool last, const std::uint8_t* in, std::uint32_t size,
             std::uint8_t* out, std::uint8_t* tag)
    {
        std::array<std::uint8_t, kNonceSize> nonce = header_.nonceBase;
        for (int i = 0; i < 8; ++i)
            nonce[kNonceSize - 8 + i] ^= static_cast<std::uint8_t>(index >> (8 * i));

        std::array<std::uint8_t, kHeaderSize + 9> aad{};
        std::memcpy(aad.data(), headerBytes_.data(), kHeaderSize);
        for (int i = 0; i < 8; ++i)
            aad[kHeaderSize + i] = static_cast<std::uint8_t>(index >> (8 * i));
        aad[kHeaderSize + 8] = last ? 1 : 0;

        BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
        BCRYPT_INIT_AUTH_MODE_INFO(info);
        info.pbNonce = nonce.data();
        info.cbNonce = static_cast<ULONG>(nonce.size());
        info.pbAuthData = aad.data();
        info.cbAuthData = static_cast<ULONG>(aad.size());
        info.pbTag = tag;
        info.cbTag = static_cast<ULONG>(kTagSize);

        ULONG written = 0;
        PUCHAR input = const_cast<PUCHAR>(in);
        const NTSTATUS status =
            seal ? BCryptEncrypt(key_.get(), input, size, &info, nullptr, 0, out, size, &written, 0)
                 : BCryptDecrypt(key_.get(), input, size, &info, nullptr, 0, out, size, &written, 0);
        return BCRYPT_SUCCESS(status) && written == size;
    }

    Header header_;
    HeaderBytes headerBytes_{};
    Algorithm aes_;
    CipherKey key_;
};

// Reads exactly size bytes; false on an error or a short read.
bool ReadExactly(HANDLE file, void* data, std::uint32_t size)
{
    auto* p = static_cast<std::uint8_t*>(data);
    while (size > 0) {
        DWORD read = 0;
        if (!ReadFile(file, p, size, &read, nullptr) || read == 0)
            return false;
        p += read;
        size -= read;
    }
    return true;
}

bool WriteAll(HANDLE file, const void* data, std::uint32_t size)
{
    DWORD written = 0;
    return size == 0 || (WriteFile(file, data, size, &written, nullptr) && written == size);
}

int OpenSource(const char* path, FileHandle& file, std::uint64_t& size)
{
    file.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PBF_SOURCE_MISSING : PBF_UNKNOWN;
    }
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file.get(), &length))
        return PBF_UNKNOWN;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return PBF_OK;
}

// The output is written under a unique name beside the target and renamed over it only when
// complete, so the target is either the whole result or untouched.
class PendingTarget {
public:
    // The clean-up keeps the error of the step that failed for the caller's GetLastError.
    ~PendingTarget()
    {
        if (!temp_.empty()) {
            const DWORD error = GetLastError();
            file_.reset();
            DeleteFileA(temp_.c_str());
            SetLastError(error);
        }
    }

    bool Open(const std::string& target)
    {
        target_ = target;
        const size_t slash = target.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
        char name[MAX_PATH] = {};
        if (!GetTempFileNameA(folder.c_str(), "pbf", 0, name))
            return false;
        temp_ = name;
        file_.reset(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file_);
    }

    bool Write(const void* data, std::uint32_t size) { return WriteAll(file_.get(), data, size); }

    bool Commit()
    {
        if (!FlushFileBuffers(file_.get()) || !file_.close())
            return false;
        if (!MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return false;
        temp_.clear();
        return true;
    }

private:
    std::string target_;
    std::string temp_;
    FileHandle file_;
};

int Encrypt(const char* source, const char* target, const char* key)
{
    FileHandle in;
    std::uint64_t remaining = 0;
    if (const int result = OpenSource(source, in, remaining); result != PBF_OK)
        return result;

    Header header;
    if (!Random(header.salt.data(), kSaltSize) || !Random(header.nonceBase.data(), kNonceSize))
        return PBF_UNKNOWN;
    PendingTarget out;
    const HeaderBytes headerBytes = header.Bytes();
    if (!out.Open(target) || !out.Write(headerBytes.data(), kHeaderSize))
        return PBF_CANNOT_WRITE;
    SegmentCipher cipher;
    if (!cipher.Init(key, header))
        return PBF_UNKNOWN;

    std::vector<std::uint8_t> plain(header.segmentSize);
    std::vector<std::uint8_t> sealed(header.segmentSize);
    std::array<std::uint8_t, kTagSize> tag{};
    // An empty file still gets one (empty) last segment, so truncation to the header is detected.
    for (std::uint64_t index = 0;; ++index) {
        const auto size = static_cast<std::uint32_t>(remaining < header.segmentSize ? remaining : header.segmentSize);
        remaining -= size;
        const bool last = remaining == 0;
        std::uint8_t length[4];
        PutU32(length, size);
        if (!ReadExactly(in.get(), plain.data(), size) ||
            !cipher.Seal(index, last, plain.data(), size, sealed.data(), tag.data()))
            return PBF_UNKNOWN;
        if (!out.Write(length, 4) || !out.Write(sealed.data(), size) || !out.Write(tag.data(), kTagSize))
            return PBF_CANNOT_WRITE;
        if (last)
            break;
    }
    SecureZeroMemory(plain.data(), plain.size());
    return out.Commit() ? PBF_OK : PBF_CANNOT_WRITE;
}

int Decrypt(const char* source, const char* target, const char* key)
{
    FileHandle in;
    std::uint64_t remaining = 0;
    if (const int result = OpenSource(source, in, remaining); result != PBF_OK)
        return result;

    HeaderBytes headerBytes{};
    Header header;
    if (remaining < kHeaderSize || !ReadExactly(in.get(), headerBytes.data(), kHeaderSize) ||
        !header.Parse(headerBytes))
        return PBF_WRONG_KEY;
    remaining -= kHeaderSize;

    PendingTarget out;
    if (!out.Open(target))
        return PBF_CANNOT_WRITE;
    SegmentCipher cipher;
    if (!cipher.Init(key, header))
        return PBF_UNKNOWN;

    std::vector<std::uint8_t> sealed(header.segmentSize);
    std::vector<std::uint8_t> plain(header.segmentSize);
    std::array<std::uint8_t, kTagSize> tag{};
    for (std::uint64_t index = 0;; ++index) {
        // Until the first segment opens, nothing shows the key was right.
        const int damaged = index == 0 ? PBF_WRONG_KEY : PBF_UNKNOWN;
        std::uint8_t length[4];
        if (remaining < 4 || !ReadExactly(in.get(), length, 4))
            return damaged;
        const std::uint32_t size = GetU32(length);
        if (size > header.segmentSize || remaining - 4 < std::uint64_t(size) + kTagSize ||
            !ReadExactly(in.get(), sealed.data(), size) || !ReadExactly(in.get(), tag.data(), kTagSize))
            return damaged;
        remaining -= 4 + std::uint64_t(size) + kTagSize;
        const bool last = remaining == 0;
        if (!cipher.Open(index, last, sealed.data(), size, plain.data(), tag.data()))
            return damaged;
        if (!out.Write(plain.data(), size))
            return PBF_CANNOT_WRITE;
        if (last)
            break;
    }
    SecureZeroMemory(plain.data(), plain.size());
    return out.Commit() ? PBF_OK : PBF_CANNOT_WRITE;
}

}  // namespace

PBFDEC_API int __cdecl FileDecryptA(const char* source, const char* target, const char* key, int, char*)
{
    if (!source || !target || !key)
        return PBF_UNKNOWN;
    return Decrypt(source, target, key);
}

PBFDEC_API int __cdecl FileEncryptA(const char* source, const char* target, const char* key, int, char*)
{
    if (!source || !target || !key)
        return PBF_UNKNOWN;
    return Encrypt(source, target, key);
}

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres() noexcept;
}
#endif

// GCC's C++ runtime, linked in statically, allocates a reserve for exceptions when the library is
// loaded and never frees it: each release would leave about 4 KB behind, 12 MB in a run over a
// thousand farms. On a release (not at process end) it is handed back.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
#if defined(__GLIBCXX__)
    if (reason == DLL_PROCESS_DETACH && !reserved)
        __gnu_cxx::__freeres();
#else
    (void)reason;
    (void)reserved;
#endif
    return TRUE;
}
