// The update folder against its signed manifest. Windows' and Wine's own signature checks are
// not enough here: Wine accepts a detached signature whose content was changed (it never
// compares the signed digest), and any certificate with the vendor's name passes a chain check.
// So the digest is computed here, and the signature must verify with the built-in certificate.
#include "update/update_folder.h"

#include "resources/resource.h"
#include "update/u_constants.h"
#include "update/u_log.h"
#include "util/digest.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

constexpr char kManifestFormat[] = "Kolvano-UpdateManifest 1";
constexpr char kProduct[] = "Kolvano";
constexpr unsigned int kUtf8 = CP_UTF8;
constexpr unsigned int kTextCodePage = 1252;


std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsNumber(const std::string& text, unsigned long long& value)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoull(text);
    return true;
}

bool IsDigest(const std::string& text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A name below the folder: no drive, no leading backslash, no "..", no forward slash.
bool IsListedName(const std::string& name)
{
    if (name.empty() || name.front() == '\\' || name.back() == '\\' || name.find("..") != std::string::npos)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < ' ' || std::strchr("/:<>\"|?*", c);
    });
}

// Names compared as Windows compares them in a folder: without regard to case.
std::wstring Folded(const std::wstring& name)
{
    std::wstring folded = name;
    CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

bool ParseFileLine(const std::string& rest, ManifestFile& file)
{
    const size_t first = rest.find(' ');
    const size_t second = first == std::string::npos ? first : rest.find(' ', first + 1);
    if (second == std::string::npos)
        return false;
    file.sha256 = rest.substr(0, first);
    file.name = rest.substr(second + 1);
    return IsDigest(file.sha256) && IsNumber(rest.substr(first + 1, second - first - 1), file.size) &&
           IsListedName(file.name);
}

// One decoded signature and the pinned certificate, through crypt32.dll from the system folder
// (it is no KnownDLL, so an imported copy could be planted beside the tool).
class SignatureCheck {
public:
    SignatureCheck()
        : library_("crypt32.dll"),
          createCertificate_(library_.Get<decltype(&CertCreateCertificateContext)>("CertCreateCertificateContext")),
          freeCertificate_(library_.Get<decltype(&CertFreeCertificateContext)>("CertFreeCertificateContext")),
          open_(library_.Get<decltype(&CryptMsgOpenToDecode)>("CryptMsgOpenToDecode")),
          update_(library_.Get<decltype(&CryptMsgUpdate)>("CryptMsgUpdate")),
          control_(library_.Get<decltype(&CryptMsgControl)>("CryptMsgControl")),
          getParam_(library_.Get<decltype(&CryptMsgGetParam)>("CryptMsgGetParam")),
          close_(library_.Get<decltype(&CryptMsgClose)>("CryptMsgClose")),
          decode_(library_.Get<decltype(&CryptDecodeObject)>("CryptDecodeObject"))
    {
    }
    ~SignatureCheck()
    {
        if (message_)
            close_(message_);
        if (signer_)
            freeCertificate_(signer_);
    }
    SignatureCheck(const SignatureCheck&) = delete;
    SignatureCheck& operator=(const SignatureCheck&) = delete;

    bool Check(const std::string& content, const std::string& signature, const std::string& certificate,
               std::string& reason)
    {
        if (!createCertificate_ || !freeCertificate_ || !open_ || !update_ || !control_ || !getParam_ || !close_ ||
            !decode_)
            return Refuse(IDS_SIGNATURE_NO_CERT, reason);
        signer_ = createCertificate_(X509_ASN_ENCODING, Bytes(certificate), static_cast<DWORD>(certificate.size()));
        if (!signer_)
            return Refuse(IDS_SIGNATURE_NO_CERT, reason);
        message_ = open_(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr);
        if (!message_ || !update_(message_, Bytes(signature), static_cast<DWORD>(signature.size()), TRUE) ||
            !update_(message_, Bytes(content), static_cast<DWORD>(content.size()), TRUE))
            return Refuse(IDS_SIGNATURE_NOT_CMS, reason);
        // One signer, and that one is the vendor: a second signature could carry another key.
        DWORD signers = 0;
        DWORD size = sizeof(signers);
        if (!getParam_(message_, CMSG_SIGNER_COUNT_PARAM, 0, &signers, &size) || signers != 1 ||
            !control_(message_, 0, CMSG_CTRL_VERIFY_SIGNATURE, signer_->pCertInfo))
            return Refuse(IDS_SIGNATURE_OTHER_KEY, reason);
        const std::vector<BYTE> info = Param(CMSG_SIGNER_INFO_PARAM);
        const auto* signerInfo = reinterpret_cast<const CMSG_SIGNER_INFO*>(info.data());
        if (info.empty() || std::strcmp(signerInfo->HashAlgorithm.pszObjId, szOID_NIST_sha256) != 0)
            return Refuse(IDS_SIGNATURE_NOT_SHA256, reason);
        // The check above covers the signed attributes only; that they name this content's
        // digest is compared here.
        if (SignedDigest(*signerInfo) != Sha256Hex(content))
            return Refuse(IDS_SIGNATURE_OTHER_CONTENT, reason);
        return true;
    }

private:
    static const BYTE* Bytes(const std::string& text) { return reinterpret_cast<const BYTE*>(text.data()); }

    static bool Refuse(unsigned int id, std::string& reason)
    {
        reason = LoadText(id);
        return false;
    }

    std::vector<BYTE> Param(DWORD type) const
    {
        DWORD size = 0;
        if (!getParam_(message_, type, 0, nullptr, &size))
            return {};
        std::vector<BYTE> data(size);
        if (!getParam_(message_, type, 0, data.data(), &size))
            return {};
        return data;
    }

    // The messageDigest attribute that the signature covers, as hexadecimal digits.
    std::string SignedDigest(const CMSG_SIGNER_INFO& signer) const
    {
        for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
            const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
            if (std::strcmp(attribute.pszObjId, szOID_RSA_messageDigest) != 0 || attribute.cValue != 1)
                continue;
            const CRYPT_ATTR_BLOB& value = attribute.rgValue[0];
            DWORD size = 0;
            if (!decode_(X509_ASN_ENCODING, X509_OCTET_STRING, value.pbData, value.cbData, 0, nullptr, &size))
                return {};
            std::vector<BYTE> decoded(size);
            if (!decode_(X509_ASN_ENCODING, X509_OCTET_STRING, value.pbData, value.cbData, 0, decoded.data(), &size))
                return {};
            const auto* blob = reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded.data());
            return HexText(blob->pbData, blob->cbData);
        }
        return {};
    }

    SystemLibrary library_;
    decltype(&CertCreateCertificateContext) createCertificate_;
    decltype(&CertFreeCertificateContext) freeCertificate_;
    decltype(&CryptMsgOpenToDecode) open_;
    decltype(&CryptMsgUpdate) update_;
    decltype(&CryptMsgControl) control_;
    decltype(&CryptMsgGetParam) getParam_;
    decltype(&CryptMsgClose) close_;
    decltype(&CryptDecodeObject) decode_;
    PCCERT_CONTEXT signer_ = nullptr;
    HCRYPTMSG message_ = nullptr;
};

// A file of the update folder opened for reading only, so that no other program can write,
// rename or remove it while the handle is open. Loading and copying it still work.
FileHandle OpenHeld(const std::wstring& path)
{
    return FileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool ReadAll(HANDLE file, std::string& bytes)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > (16 << 20))
        return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

// Every file below the folder, as names relative to it. A link to another folder is listed as
// a file, which no manifest can list.
void ListFolder(const std::wstring& folder, const std::wstring& below, std::vector<std::wstring>& names)
{
    WIN32_FIND_DATAW data;
    const FindHandle find(FindFirstFileW((folder + below + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const DWORD attributes = data.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListFolder(folder, below + name + L"\\", names);
        else
            names.push_back(below + name);
    } while (FindNextFileW(find.get(), &data));
}

// Files that the manifest need not list: itself, its signature, run logs, and what Explorer
// writes into any folder it shows.
bool IsUnlisted(const std::wstring& folded)
{
    const std::wstring leaf = folded.substr(folded.find_last_of(L'\\') + 1);
    return folded == L"update.manifest" || folded == L"update.manifest.p7s" || leaf == L"thumbs.db" ||
           leaf == L"desktop.ini" || leaf.ends_with(L".log") || leaf.ends_with(L".log.1");
}

std::string Shown(const std::string& utf8Name)
{
    return FromWide(ToWide(utf8Name, kUtf8), kTextCodePage);
}

// The sequence number of the last update applied for this user; 0 when none is recorded.
unsigned long long AppliedSequence()
{
    std::string text;
    unsigned long long sequence = 0;
    const RegKey key = OpenUserKey(names::kProductKey);
    if (ReadStringValue(key, names::kAppliedSequenceValue, text) == ValueRead::Ok && IsNumber(text, sequence))
        return sequence;
    return 0;
}

// The checks of one folder; each problem found is one line of the message.
class FolderVerifier {
public:
    FolderVerifier(UpdateContext& context, const std::string& certificate)
        : context_(context), certificate_(certificate), folder_(ToWide(context.UpdatePath, CP_ACP))
    {
    }

    FolderCheck Run(std::string& message)
    {
        if (Check()) {
            message = note_;
            return FolderCheck::Verified;
        }
        message = FormatText(IDS_FOLDER_REFUSED, {problems_});
        return onlyHeld_ ? FolderCheck::FileHeld : FolderCheck::Refused;
    }

private:
    bool Check()
    {
        std::string manifestText;
        FileHandle manifestFile = OpenHeld(folder_ + ToWide(kManifestName, kUtf8));
        if (!manifestFile && GetLastError() == ERROR_FILE_NOT_FOUND) {
            if (!certificate_.empty())
                return Problem(LoadText(IDS_FOLDER_NO_MANIFEST), false);
            context_.UpdateId = FolderFingerprint(context_.UpdatePath);
            note_ = FormatText(IDS_FOLDER_UNSIGNED_TEST, {context_.UpdateId});
            return true;
        }
        if (!Read(kManifestName, std::move(manifestFile), manifestText))
            return false;
        if (!certificate_.empty() && !CheckSignature(manifestText))
            return false;
        UpdateManifest manifest;
        if (int line = 0; !ParseManifest(manifestText, manifest, line))
            return Problem(FormatText(IDS_FOLDER_BAD_MANIFEST, {std::to_string(line)}), false);
        if (const unsigned long long applied = AppliedSequence(); manifest.sequence < applied)
            return Problem(
                FormatText(IDS_FOLDER_OLDER, {std::to_string(manifest.sequence), std::to_string(applied)}), false);
        if (manifest.version != context_.UpdateVersion)
            return Problem(FormatText(IDS_FOLDER_VERSION, {manifest.version, context_.UpdateVersion}), false);
        CheckFiles(manifest);
        if (!problems_.empty())
            return false;
        context_.UpdateId = Sha256Hex(manifestText);
        context_.UpdateSequence = manifest.sequence;
        context_.HeldUpdateFiles = std::move(held_);
        note_ = FormatText(certificate_.empty() ? IDS_FOLDER_VERIFIED_UNSIGNED : IDS_FOLDER_VERIFIED,
                           {std::to_string(manifest.files.size()), context_.UpdateId});
        return true;
    }

    bool CheckSignature(const std::string& manifestText)
    {
        std::string signature;
        FileHandle signatureFile = OpenHeld(folder_ + ToWide(kSignatureName, kUtf8));
        if (!signatureFile && GetLastError() == ERROR_FILE_NOT_FOUND)
            return Problem(LoadText(IDS_FOLDER_NO_SIGNATURE), false);
        if (!Read(kSignatureName, std::move(signatureFile), signature))
            return false;
        if (std::string reason; !CheckManifestSignature(manifestText, signature, certificate_, reason))
            return Problem(FormatText(IDS_FOLDER_BAD_SIGNATURE, {reason}), false);
        return true;
    }

    // Reads a whole file that is held from now on; false with the problem noted.
    bool Read(const std::string& name, FileHandle file, std::string& bytes)
    {
        if (!file)
            return OpenProblem(name);
        if (!ReadAll(file.get(), bytes)) {
            const DWORD error = GetLastError();
            return Problem(FormatText(IDS_FOLDER_UNREADABLE, {Shown(name), SystemErrorText(error)}), false);
        }
        held_.push_back(std::move(file));
        return true;
    }

    bool OpenProblem(const std::string& name)
    {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return Problem(FormatText(IDS_FOLDER_MISSING, {Shown(name)}), false);
        if (error == ERROR_SHARING_VIOLATION)
            return Problem(FormatText(IDS_FOLDER_HELD, {Shown(name)}), true);
        return Problem(FormatText(IDS_FOLDER_UNREADABLE, {Shown(name), SystemErrorText(error)}), false);
    }

    void CheckFiles(const UpdateManifest& manifest)
    {
        std::set<std::wstring> listed;
        for (const ManifestFile& file : manifest.files)
            listed.insert(Folded(ToWide(file.name, kUtf8)));
        std::vector<std::wstring> found;
        ListFolder(folder_, std::wstring(), found);
        for (const std::wstring& name : found)
            if (const std::wstring folded = Folded(name); !listed.count(folded) && !IsUnlisted(folded))
                Problem(FormatText(IDS_FOLDER_EXTRA, {FromWide(name, kTextCodePage)}), false);
        for (const ManifestFile& file : manifest.files)
            CheckFile(file);
    }

    void CheckFile(const ManifestFile& file)
    {
        FileHandle handle = OpenHeld(folder_ + ToWide(file.name, kUtf8));
        if (!handle) {
            OpenProblem(file.name);
            return;
        }
        std::string digest;
        unsigned long long size = 0;
        if (!Sha256OfFile(handle.get(), digest, size)) {
            const DWORD error = GetLastError();
            Problem(FormatText(IDS_FOLDER_UNREADABLE, {Shown(file.name), SystemErrorText(error)}), false);
            return;
        }
        if (digest != file.sha256 || size != file.size) {
            Problem(FormatText(IDS_FOLDER_CHANGED, {Shown(file.name)}), false);
            Log(FormatText(IDS_FOLDER_DIGESTS, {Shown(file.name), file.sha256, std::to_string(file.size), digest,
                                                std::to_string(size)}));
            return;
        }
        held_.push_back(std::move(handle));
    }

    bool Problem(const std::string& text, bool held)
    {
        problems_ += (problems_.empty() ? "" : "\n") + text;
        onlyHeld_ = held && (onlyHeld_ || problems_ == text);
        return false;
    }

    UpdateContext& context_;
    const std::string& certificate_;
    const std::wstring folder_;
    std::vector<FileHandle> held_;
    std::string problems_;
    // The status line of a folder that passed.
    std::string note_;
    // Whether every problem so far is a file held by another program.
    bool onlyHeld_ = false;
};

}  // namespace

bool ParseManifest(const std::string& text, UpdateManifest& manifest, int& badLine)
{
    manifest = {};
    const std::vector<std::string> lines = Lines(text);
    badLine = 1;
    if (lines.empty() || lines[0] != kManifestFormat)
        return false;
    std::set<std::wstring> names;
    bool sequenceSeen = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        badLine = static_cast<int>(i + 1);
        const std::string& line = lines[i];
        const size_t space = line.find(' ');
        const std::string word = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (word == "product" && manifest.product.empty() && rest == kProduct) {
            manifest.product = rest;
        } else if (word == "version" && manifest.version.empty() && !rest.empty()) {
            manifest.version = rest;
        } else if (word == "sequence" && !sequenceSeen && IsNumber(rest, manifest.sequence)) {
            sequenceSeen = true;
        } else if (ManifestFile file; word == "file" && ParseFileLine(rest, file) &&
                                      names.insert(Folded(ToWide(file.name, kUtf8))).second) {
            manifest.files.push_back(file);
        } else {
            return false;
        }
    }
    badLine = static_cast<int>(lines.size());
    return !manifest.product.empty() && !manifest.version.empty() && sequenceSeen;
}

bool CheckManifestSignature(const std::string& content, const std::string& signature,
                            const std::string& certificate, std::string& reason)
{
    return SignatureCheck().Check(content, signature, certificate, reason);
}

std::string SignerCertificate()
{
    const HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_SIGNER_CERT), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    const HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return std::string(static_cast<const char*>(data), SizeofResource(nullptr, resource));
}

FolderCheck VerifyUpdateFolder(UpdateContext& context, const std::string& certificate, std::string& message)
{
    context.HeldUpdateFiles.clear();
    context.UpdateSequence = 0;
    return FolderVerifier(context, certificate).Run(message);
}

std::string UpdateIdentity(const std::string& updatePath)
{
    const FileHandle file(CreateFileA((updatePath + kManifestName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    std::string text;
    if (!file)
        return FolderFingerprint(updatePath);
    return ReadAll(file.get(), text) ? Sha256Hex(text) : std::string();
}
