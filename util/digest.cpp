#include "util/digest.h"

#include "util/handles.h"

#include <bcrypt.h>

#include <vector>

namespace {

// One hash object of the SHA-256 provider. The one-call BCryptHash needs Windows 10. bcrypt.dll is
// no KnownDLL, so it is loaded from the system folder rather than imported.
class Sha256 {
public:
    Sha256()
        : library_("bcrypt.dll"),
          open_(library_.Get<decltype(&BCryptOpenAlgorithmProvider)>("BCryptOpenAlgorithmProvider")),
          close_(library_.Get<decltype(&BCryptCloseAlgorithmProvider)>("BCryptCloseAlgorithmProvider")),
          create_(library_.Get<decltype(&BCryptCreateHash)>("BCryptCreateHash")),
          destroy_(library_.Get<decltype(&BCryptDestroyHash)>("BCryptDestroyHash")),
          data_(library_.Get<decltype(&BCryptHashData)>("BCryptHashData")),
          finish_(library_.Get<decltype(&BCryptFinishHash)>("BCryptFinishHash"))
    {
        if (!open_ || !close_ || !create_ || !destroy_ || !data_ || !finish_)
            return;
        if (open_(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
            algorithm_ = nullptr;
            return;
        }
        if (create_(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0) < 0)
            hash_ = nullptr;
    }
    ~Sha256()
    {
        if (hash_)
            destroy_(hash_);
        if (algorithm_)
            close_(algorithm_, 0);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool Add(const void* data, unsigned long size)
    {
        return hash_ && data_(hash_, static_cast<PUCHAR>(const_cast<void*>(data)), size, 0) >= 0;
    }

    std::string Finish()
    {
        unsigned char digest[32];
        if (!hash_ || finish_(hash_, digest, sizeof(digest), 0) < 0)
            return {};
        return HexText(digest, sizeof(digest));
    }

private:
    SystemLibrary library_;
    decltype(&BCryptOpenAlgorithmProvider) open_;
    decltype(&BCryptCloseAlgorithmProvider) close_;
    decltype(&BCryptCreateHash) create_;
    decltype(&BCryptDestroyHash) destroy_;
    decltype(&BCryptHashData) data_;
    decltype(&BCryptFinishHash) finish_;
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

std::string HexText(const unsigned char* bytes, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

std::string Sha256Hex(const std::string& bytes)
{
    Sha256 hash;
    return hash.Add(bytes.data(), static_cast<unsigned long>(bytes.size())) ? hash.Finish() : std::string();
}

bool Sha256OfFile(HANDLE file, std::string& hex, unsigned long long& size)
{
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    Sha256 hash;
    std::vector<char> buffer(1 << 16);
    size = 0;
    DWORD read = 0;
    while (true) {
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            break;
        if (!hash.Add(buffer.data(), read))
            return false;
        size += read;
    }
    hex = hash.Finish();
    return !hex.empty();
}
