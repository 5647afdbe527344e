#include "update/installer_verification.h"

#include <windows.h>
#include <bcrypt.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <vector>

#include "common/unique_owner.h"
#include "update/hex_digest.h"
#include "update/pinned_signer.h"
#include "update/update_info.h"

namespace {

constexpr DWORD kBufferSize = 65536;

bool Failed(NTSTATUS status) {
    return status < 0;
}

// One CNG SHA-256 computation. Members are declared so the hash is destroyed before the
// provider is closed.
class Sha256 {
public:
    bool Open() {
        BCRYPT_ALG_HANDLE algorithm = nullptr;
        if (Failed(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            return false;
        }
        algorithm_.reset(algorithm);
        DWORD objectLength = 0;
        DWORD digestLength = 0;
        ULONG written = 0;
        if (Failed(BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH,
                                     reinterpret_cast<PUCHAR>(&objectLength), sizeof objectLength,
                                     &written, 0)) ||
            Failed(BCryptGetProperty(algorithm, BCRYPT_HASH_LENGTH,
                                     reinterpret_cast<PUCHAR>(&digestLength), sizeof digestLength,
                                     &written, 0))) {
            return false;
        }
        object_.resize(objectLength);
        digest_.resize(digestLength);
        BCRYPT_HASH_HANDLE hash = nullptr;
        if (Failed(
                BCryptCreateHash(algorithm, &hash, object_.data(), objectLength, nullptr, 0, 0))) {
            return false;
        }
        hash_.reset(hash);
        return true;
    }
    bool Add(const void* data, DWORD length) {
        return !Failed(
            BCryptHashData(hash_.get(), static_cast<PUCHAR>(const_cast<void*>(data)), length, 0));
    }
    bool Finish(std::wstring& hex) {
        if (Failed(BCryptFinishHash(hash_.get(), digest_.data(), static_cast<ULONG>(digest_.size()),
                                    0))) {
            return false;
        }
        hex = HexEncodeLower(digest_.data(), digest_.size());
        return true;
    }

private:
    UniqueCngAlgorithm algorithm_;
    std::vector<UCHAR> object_;
    std::vector<UCHAR> digest_;
    UniqueCngHash hash_;
};

// The full WINTRUST_DATA of Windows 8 and later; mingw-w64 declares the older layout without
// pSignatureSettings.
struct WintrustDataFull {
    DWORD cbStruct;
    LPVOID pPolicyCallbackData;
    LPVOID pSIPClientData;
    DWORD dwUIChoice;
    DWORD fdwRevocationChecks;
    DWORD dwUnionChoice;
    WINTRUST_FILE_INFO* pFile;
    DWORD dwStateAction;
    HANDLE hWVTStateData;
    WCHAR* pwszURLReference;
    DWORD dwProvFlags;
    DWORD dwUIContext;
    void* pSignatureSettings;
};
static_assert(sizeof(WintrustDataFull) == 88, "WINTRUST_DATA is 88 bytes on x64");
static_assert(sizeof(WINTRUST_FILE_INFO) == 32, "WINTRUST_FILE_INFO is 32 bytes on x64");

constexpr LONG kUntrustedRoot = static_cast<LONG>(0x800B0109);

}  // namespace

bool VerifyUpdateSha256(const std::wstring& path, const std::wstring& expectedHex,
                        std::wstring& error) {
    Sha256 sha;
    if (!sha.Open()) {
        error = L"Could not initialise SHA-256 verification.";
        return false;
    }
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        error = L"Could not reopen the downloaded update.";
        return false;
    }
    std::vector<unsigned char> buffer(kBufferSize);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), kBufferSize, &read, nullptr)) {
            error = L"Could not read the downloaded update for verification.";
            return false;
        }
        if (read == 0) {
            break;
        }
        if (!sha.Add(buffer.data(), read)) {
            error = L"Could not calculate the update checksum.";
            return false;
        }
    }
    std::wstring computed;
    if (!sha.Finish(computed)) {
        error = L"Could not calculate the update checksum.";
        return false;
    }
    if (LowerAscii(expectedHex) != computed) {
        error = L"The downloaded update failed its SHA-256 checksum.";
        return false;
    }
    return true;
}

namespace {

// The display name and SHA-256 fingerprint of one certificate.
void DescribeCertificate(PCCERT_CONTEXT certificate, std::wstring& signerName,
                         std::wstring& fingerprint) {
    const DWORD nameLength =
        CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (nameLength > 1) {
        std::vector<wchar_t> name(nameLength);
        if (CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(),
                               nameLength) > 1) {
            signerName.assign(name.data());
        }
    }
    DWORD hashSize = 0;
    if (CertGetCertificateContextProperty(certificate, CERT_SHA256_HASH_PROP_ID, nullptr,
                                          &hashSize) &&
        hashSize != 0) {
        std::vector<BYTE> hash(hashSize);
        if (CertGetCertificateContextProperty(certificate, CERT_SHA256_HASH_PROP_ID, hash.data(),
                                              &hashSize)) {
            fingerprint = HexEncodeLower(hash.data(), hashSize);
        }
    }
    if (fingerprint.empty()) {
        // Not every system can give the property (Wine cannot); it is the SHA-256 of the
        // certificate's DER bytes, so compute that.
        Sha256 sha;
        if (sha.Open() && sha.Add(certificate->pbCertEncoded, certificate->cbCertEncoded)) {
            sha.Finish(fingerprint);
        }
    }
}

// Runs the Authenticode check and describes the certificate of the first signer as the check
// itself found and validated it, never one picked again from the file's own certificates.
LONG CheckTrust(const std::wstring& path, std::wstring& signerName, std::wstring& fingerprint) {
    signerName.clear();
    fingerprint.clear();
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WintrustDataFull data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = WinVerifyTrust(nullptr, &action, &data);
    if (data.hWVTStateData != nullptr) {
        CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer =
            provider != nullptr ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        CRYPT_PROVIDER_CERT* leaf =
            signer != nullptr ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
        if (leaf != nullptr && leaf->pCert != nullptr) {
            DescribeCertificate(leaf->pCert, signerName, fingerprint);
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(nullptr, &action, &data);
    return status;
}

}  // namespace

bool IdentifyInstallerSigner(const std::wstring& path, std::wstring& signerName,
                             std::wstring& fingerprint) {
    CheckTrust(path, signerName, fingerprint);
    if (signerName.empty() || fingerprint.size() != 64) {
        signerName.clear();
        fingerprint.clear();
        return false;
    }
    return true;
}

bool VerifyInstallerSignatureWith(const std::wstring& path, const std::wstring& pinnedSha256,
                                  std::wstring& error) {
    const std::wstring pinned = LowerAscii(pinnedSha256);
    if (!IsLowerHexSha256(pinned)) {
        error = kPinnedSignerNotConfigured;
        return false;
    }
    std::wstring signerName;
    std::wstring fingerprint;
    const LONG status = CheckTrust(path, signerName, fingerprint);
    if (status != 0 && status != kUntrustedRoot) {
        wchar_t text[96];
        swprintf(text, 96, L"The downloaded installer failed Authenticode verification (0x%lx).",
                 static_cast<unsigned long>(static_cast<DWORD>(status)));
        error = text;
        return false;
    }
    if (signerName.empty() || fingerprint.size() != 64) {
        error = L"The installer signing certificate could not be identified.";
        return false;
    }
    if (LowerAscii(fingerprint) != pinned) {
        error = L"The installer was signed with an unexpected certificate.";
        return false;
    }
    return true;
}

bool ReadInstallerVersion(const std::wstring& path, VersionParts& version) {
    version = VersionParts{};
    // Mapped as data: nothing of the file runs, and no library it names is loaded.
    const HMODULE image = LoadLibraryExW(path.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (image == nullptr) {
        return false;
    }
    bool read = false;
    const HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const HGLOBAL loaded = found != nullptr ? LoadResource(image, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes != nullptr) {
        read = ReadFixedProductVersion(static_cast<const uint8_t*>(bytes),
                                       SizeofResource(image, found), version);
    }
    FreeLibrary(image);
    return read;
}

bool VerifyInstallerVersion(const std::wstring& path, const std::wstring& announced,
                            std::wstring& error) {
    VersionParts version;
    if (!ReadInstallerVersion(path, version)) {
        error = L"The update installer does not state its version.";
        return false;
    }
    return AcceptsInstallerVersion(version, announced, APP_VERSION, error);
}

bool PinnedSignerConfigured() {
    return IsLowerHexSha256(LowerAscii(PINNED_SIGNER_SHA256));
}

bool VerifyInstallerSignature(const std::wstring& path, std::wstring& error) {
    return VerifyInstallerSignatureWith(path, PINNED_SIGNER_SHA256, error);
}
