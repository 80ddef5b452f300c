// The update folder's signed list of files: read, its signature checked against the signer's
// certificate that the release tool carries, and every file of the folder checked against it
// before the first change.
#pragma once

#include "update/u_context.h"

#include <string>
#include <vector>

inline constexpr char kManifestName[] = "update.manifest";
inline constexpr char kSignatureName[] = "update.manifest.p7s";

struct ManifestFile {
    std::string sha256;
    unsigned long long size = 0;
    // Below the update folder, with backslashes, in UTF-8.
    std::string name;
};

struct UpdateManifest {
    std::string product;
    std::string version;
    unsigned long long sequence = 0;
    std::vector<ManifestFile> files;
};

// Reads the manifest's text. False, with the number of the first line that does not fit, for
// an unknown format, a malformed line, a name that leaves the folder or a name listed twice.
bool ParseManifest(const std::string& text, UpdateManifest& manifest, int& badLine);

// Whether signature is a CMS signature (SHA-256) of content made with the key of the DER
// certificate; the digest is computed here and compared with the one that was signed. False
// with a short reason otherwise.
bool CheckManifestSignature(const std::string& content, const std::string& signature,
                            const std::string& certificate, std::string& reason);

// The signer's certificate built into the tool; empty in a build without one.
std::string SignerCertificate();

enum class FolderCheck {
    Verified,
    // A listed file is held open by another program; a later try may pass.
    FileHeld,
    Refused,
};

// Checks the folder against its manifest and holds every listed file against writing in the
// context until the tool ends; sets UpdateId and UpdateSequence. Without a certificate in the
// tool, a folder without a manifest passes. message names every problem, or for a folder that
// passed, how it was checked (the line for the status list).
FolderCheck VerifyUpdateFolder(UpdateContext& context, const std::string& certificate, std::string& message);

// The update's identity: the manifest's SHA-256, or the folder's fingerprint without one.
std::string UpdateIdentity(const std::string& updatePath);
