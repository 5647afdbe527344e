// The metadata rules on any body: a body is either refused with one of the three metadata
// sentences and nothing kept, or every kept field obeys its rule.
#include "tests/fuzz/fuzz_check.h"

#include "update/hex_digest.h"
#include "update/update_metadata.h"
#include "update/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool installedCopy = size > 0 && (data[0] & 1) != 0;
    const std::string body = FuzzText(data, size);
    UpdateInfo info;
    std::wstring error = L"stale";
    if (!ReadUpdateMetadata(body, installedCopy, info, error)) {
        Check(error == L"The update server returned incomplete metadata." ||
              error == L"The update metadata did not pass validation." ||
              error == L"The update server returned an invalid version number.");
        Check(info.version.empty() && info.download_url.empty() && info.sha256.empty() &&
              info.size_bytes == 0 && info.schema_version == 0);
        return 0;
    }
    Check(error.empty());
    Check(info.schema_version == 1);
    Check(IsLowerHexSha256(info.sha256));
    Check(EqualsIgnoringAsciiCase(info.package_type, installedCopy ? L"installer" : L"portable"));
    VersionParts parts;
    Check(ParseVersion(info.version, parts));
    for (const std::wstring* text : {&info.release_notes, &info.filename, &info.download_url}) {
        Check(text->size() <= body.size());
    }
    return 0;
}
