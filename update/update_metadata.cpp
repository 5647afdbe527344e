#include "update/update_metadata.h"

#include <cstdint>

#include "account/json_text.h"
#include "update/hex_digest.h"
#include "update/strict_utf8.h"
#include "update/version.h"

namespace {

const wchar_t kIncomplete[] = L"The update server returned incomplete metadata.";
const wchar_t kInvalid[] = L"The update metadata did not pass validation.";
const wchar_t kBadVersion[] = L"The update server returned an invalid version number.";

// The raw fields, in the order they are read; the first one missing ends the reading.
struct RawMetadata {
    uint64_t schemaVersion = 0;
    std::string platform;
    std::string packageType;
    std::string version;
    std::string filename;
    uint64_t sizeBytes = 0;
    std::string sha256;
    std::string downloadUrl;
    std::string releaseNotes;
};

bool ReadRequiredFields(const std::string& body, RawMetadata& raw) {
    return ReadJsonUnsignedField(body, "schema_version", raw.schemaVersion) &&
           ReadJsonStringField(body, "platform", raw.platform) &&
           ReadJsonStringField(body, "package_type", raw.packageType) &&
           ReadJsonStringField(body, "version", raw.version) &&
           ReadJsonStringField(body, "filename", raw.filename) &&
           ReadJsonUnsignedField(body, "size_bytes", raw.sizeBytes) &&
           ReadJsonStringField(body, "sha256", raw.sha256) &&
           ReadJsonStringField(body, "download_url", raw.downloadUrl);
}

bool Fail(UpdateInfo& info, std::wstring& error, const wchar_t* sentence) {
    info = UpdateInfo{};
    error = sentence;
    return false;
}

}  // namespace

bool EqualsIgnoringAsciiCase(const std::wstring& left, const std::wstring& right) {
    return LowerAscii(left) == LowerAscii(right);
}

bool ReadUpdateMetadata(const std::string& body, bool installedCopy, UpdateInfo& info,
                        std::wstring& error) {
    info = UpdateInfo{};
    error.clear();

    RawMetadata raw;
    if (!ReadRequiredFields(body, raw)) {
        return Fail(info, error, kIncomplete);
    }
    if (!ReadJsonStringField(body, "release_notes", raw.releaseNotes)) {
        raw.releaseNotes.clear();  // optional; a malformed one leaves a decoded prefix behind
    }

    info.schema_version = static_cast<uint32_t>(raw.schemaVersion);
    info.package_type = StrictUtf8ToUtf16(raw.packageType);
    info.version = StrictUtf8ToUtf16(raw.version);
    info.release_notes = StrictUtf8ToUtf16(raw.releaseNotes);
    info.filename = StrictUtf8ToUtf16(raw.filename);
    info.size_bytes = raw.sizeBytes;
    info.sha256 = StrictUtf8ToUtf16(raw.sha256);
    info.download_url = StrictUtf8ToUtf16(raw.downloadUrl);
    const std::wstring platform = StrictUtf8ToUtf16(raw.platform);

    // The whole number as read: one whose low 32 bits happen to be 1 is still another format.
    const bool schemaKnown = raw.schemaVersion == 1;
    const bool packageMatches =
        EqualsIgnoringAsciiCase(info.package_type, installedCopy ? L"installer" : L"portable");
    if (!schemaKnown || !EqualsIgnoringAsciiCase(platform, L"windows") || !packageMatches ||
        !IsLowerHexSha256(info.sha256)) {
        return Fail(info, error, kInvalid);
    }
    VersionParts parts;
    if (!ParseVersion(info.version, parts)) {
        return Fail(info, error, kBadVersion);
    }
    return true;
}
