#include "account/credential_store.h"

#include <windows.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <vector>

#include "account/credential_file.h"
#include "account/credential_layout.h"
#include "account/secret_wipe.h"
#include "common/unique_owner.h"

const wchar_t kCredentialsFileName[] = L"\\config-app-credentials.dat";
const wchar_t kCredentialsTempFileName[] = L"\\config-app-credentials.dat.new";

namespace {

const wchar_t kTokenFileName[] = L"\\config-app-token.dat";
const wchar_t kDescription[] = L"Tervane configuration login credentials";
constexpr DWORD kHiddenFile = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL;
constexpr DWORD kSmallestFile = 4;
constexpr DWORD kLargestFile = 0x10000;

std::wstring InStoreFolder(const wchar_t* name) {
    const std::wstring folder = GetStoreFolder();
    return folder.empty() ? std::wstring() : folder + name;
}

// Frees a DPAPI output buffer, wiping it first when it holds plain text.
struct DataBlobOwner {
    DATA_BLOB blob{};
    bool secret = false;
    ~DataBlobOwner() {
        if (blob.pbData != nullptr) {
            if (secret) {
                WipeBytes(blob.pbData, blob.cbData);
            }
            LocalFree(blob.pbData);
        }
    }
};

}  // namespace

bool WriteWholeFile(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

std::wstring GetStoreFolder() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base))) {
        return std::wstring();
    }
    std::wstring folder = std::wstring(base) + L"\\Tervane";
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return folder;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return std::wstring();
    }
    return folder;
}

std::wstring GetCredentialsFilePath() {
    return InStoreFolder(kCredentialsFileName);
}

std::wstring GetTokenFilePath() {
    return InStoreFolder(kTokenFileName);
}

bool SaveCredentials(const std::wstring& username, const std::wstring& password) {
    if (username.empty() || password.empty()) {
        return false;
    }
    const std::wstring folder = GetStoreFolder();
    return !folder.empty() && SaveCredentialsIn(folder, username, password);
}

bool LoadCredentials(std::wstring& username, std::wstring& password) {
    WipeSecret(username);
    WipeSecret(password);
    const std::wstring folder = GetStoreFolder();
    return !folder.empty() && LoadCredentialsFrom(folder, username, password);
}

bool SaveCredentialsIn(const std::wstring& folder, const std::wstring& username,
                       const std::wstring& password, CredentialWriter writer) {
    if (username.empty() || password.empty() || folder.empty()) {
        return false;
    }
    std::string plain;
    if (!EncodeCredentialPlain(username, password, plain)) {
        return false;
    }
    DATA_BLOB in{};
    in.cbData = static_cast<DWORD>(plain.size());
    in.pbData = reinterpret_cast<BYTE*>(&plain[0]);
    DataBlobOwner out;
    const BOOL protectedOk = CryptProtectData(&in, kDescription, nullptr, nullptr, nullptr,
                                              CRYPTPROTECT_UI_FORBIDDEN, &out.blob);
    WipeSecret(plain);
    if (!protectedOk) {
        return false;
    }

    // The new content goes to a file of its own and then takes the old one's place in one
    // step, so a failure on the way never leaves a damaged file where a good one stood.
    const std::wstring target = folder + kCredentialsFileName;
    const std::wstring fresh = folder + kCredentialsTempFileName;
    {
        UniqueHandle file(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      kHiddenFile, nullptr));
        if (!file) {
            return false;
        }
        const bool written =
            writer(file.get(), out.blob.pbData, out.blob.cbData) && FlushFileBuffers(file.get());
        file.reset();
        if (!written) {
            DeleteFileW(fresh.c_str());
            return false;
        }
    }
    if (!MoveFileExW(fresh.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(fresh.c_str());
        return false;
    }
    return true;
}

bool LoadCredentialsFrom(const std::wstring& folder, std::wstring& username,
                         std::wstring& password) {
    WipeSecret(username);
    WipeSecret(password);
    if (folder.empty()) {
        return false;
    }
    const std::wstring path = folder + kCredentialsFileName;
    std::vector<BYTE> bytes;
    {
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return false;
        }
        DWORD high = 0;
        const DWORD size = GetFileSize(file.get(), &high);
        if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 ||
            size < kSmallestFile || size > kLargestFile) {
            return false;
        }
        bytes.assign(size, 0);
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data(), size, &read, nullptr) || read != size) {
            return false;
        }
    }
    DATA_BLOB in{};
    in.cbData = static_cast<DWORD>(bytes.size());
    in.pbData = bytes.data();
    DataBlobOwner out;
    out.secret = true;
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out.blob)) {
        return false;
    }
    return ParseCredentialPlain(out.blob.pbData, out.blob.cbData, username, password);
}
