#include "update/update_download.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "common/unique_owner.h"
#include "update/update_check.h"
#include "update/installer_verification.h"
#include "update/update_http.h"
#include "update/update_info.h"

namespace {

constexpr DWORD kBufferBytes = 65536;
constexpr ULONGLONG kTimerSlackMs = 100;

const wchar_t kIncomplete[] = L"The update download was incomplete.";
const wchar_t kTooLarge[] = L"The update is larger than this program accepts.";
const wchar_t kTooSlow[] = L"The update download took too long and was stopped.";
const wchar_t kStalled[] = L"The update download stalled and was stopped.";

enum class StreamEnd { Complete, Failed, Stalled, TooSlow };

// Copies the body to the file. Never asks for more than one byte past the expected size, so a
// padded body is noticed at its first extra byte and nothing past that is written. No read
// waits past the deadline or longer than the stall time-out.
StreamEnd StreamBody(HINTERNET request, HANDLE file, uint64_t expectedSize, ULONGLONG deadline,
                     DWORD stallMs, uint64_t& total) {
    std::vector<char> buffer(kBufferBytes);
    total = 0;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return StreamEnd::TooSlow;
        }
        DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(stallMs, deadline - now));
        WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
        // Asked first how much has come: a read for more than that may wait for all of it.
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            // Not every system reports the time-out as such; a wait that failed only at its
            // end was one.
            const ULONGLONG failed = GetTickCount64();
            if (GetLastError() != ERROR_WINHTTP_TIMEOUT && failed - now + kTimerSlackMs < wait) {
                return StreamEnd::Failed;
            }
            return failed + kTimerSlackMs >= deadline ? StreamEnd::TooSlow : StreamEnd::Stalled;
        }
        if (available == 0) {
            return StreamEnd::Complete;
        }
        const uint64_t left = expectedSize - total;  // total never passes expectedSize here
        const DWORD wanted =
            static_cast<DWORD>(std::min<uint64_t>({available, kBufferBytes, left + 1}));
        DWORD read = 0;
        // Nothing read of what was announced as there is a broken answer, not its end.
        if (!WinHttpReadData(request, buffer.data(), wanted, &read) || read == 0) {
            return StreamEnd::Failed;
        }
        read = std::min(read, wanted);
        if (read > expectedSize - total) {
            total += read;
            return StreamEnd::Failed;
        }
        DWORD written = 0;
        if (!WriteFile(file, buffer.data(), read, &written, nullptr) || written != read) {
            return StreamEnd::Failed;
        }
        total += read;
    }
}

}  // namespace

std::wstring MakeUpdateTempPath() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH) {
        return std::wstring();
    }
    wchar_t name[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folder, L"OVC", 0, name) == 0) {
        return std::wstring();
    }
    DeleteFileW(name);
    std::wstring path(name);
    const size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos) {
        path.erase(dot);
    }
    return path + L".exe";
}

bool DownloadUpdateFrom(const std::wstring& serviceHost, const std::wstring& url,
                        const std::wstring& path, uint64_t expectedSize, std::wstring& error,
                        const DownloadLimits& limits) {
    error.clear();
    std::wstring pathAndQuery;
    uint16_t port = 0;
    if (!ValidateDownloadUrlFor(serviceHost, url, kInstallerDownloadPrefix, pathAndQuery, port,
                                error)) {
        return false;
    }
    if (expectedSize > limits.maxBytes) {
        error = kTooLarge;
        return false;
    }
    const UpdateTimeouts timeouts{5000, 5000, 15000, static_cast<int>(limits.stallMs)};
    UpdateExchange exchange;
    if (!OpenUpdateExchange(serviceHost, port, pathAndQuery, timeouts,
                            {L"Could not initialise the update download.",
                             L"Could not create the update download request.",
                             L"Could not create the update download request."},
                            exchange, error)) {
        return false;
    }
    HINTERNET request = exchange.request.get();

    bool created = false;
    bool complete = false;
    const ULONGLONG deadline = GetTickCount64() + limits.deadlineMs;
    if (SendUpdateRequest(request)) {
        // A status that cannot be read is told like any other broken answer: as incomplete.
        uint32_t status = 0;
        if (QueryUpdateStatus(request, status)) {
            if (status == 409) {
                error =
                    L"The update was replaced while it was being downloaded. Please check "
                    L"again.";
            } else if (status != 200) {
                error = L"The update download returned HTTP " + std::to_wstring(status) + L".";
            } else {
                UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_TEMPORARY, nullptr));
                if (file) {
                    created = true;
                    uint64_t total = 0;
                    const StreamEnd end = StreamBody(request, file.get(), expectedSize, deadline,
                                                     limits.stallMs, total);
                    complete = end == StreamEnd::Complete && total == expectedSize;
                    if (end == StreamEnd::Stalled) {
                        error = kStalled;
                    } else if (end == StreamEnd::TooSlow) {
                        error = kTooSlow;
                    }
                }
            }
        }
    }
    exchange.Close();
    if (complete) {
        return true;
    }
    // Only a file this call made is removed; one that was there already is not ours.
    if (created) {
        DeleteFileW(path.c_str());
    }
    if (error.empty()) {
        error = kIncomplete;
    }
    return false;
}

bool DownloadUpdate(const std::wstring& url, const std::wstring& path, uint64_t expectedSize,
                    std::wstring& error) {
    return DownloadUpdateFrom(BuiltInUpdateServer().host, url, path, expectedSize, error);
}

bool FetchVerifiedInstallerFrom(const std::wstring& serviceHost, const UpdateInfo& info,
                                std::wstring& installerPath, std::wstring& error) {
    error.clear();
    installerPath.clear();
    if (!PinnedSignerConfigured()) {
        error = kPinnedSignerNotConfigured;
        return false;
    }
    installerPath = MakeUpdateTempPath();
    if (installerPath.empty()) {
        error = L"Could not create a temporary update file.";
        return false;
    }
    // A failed download has already removed what it wrote (and never touches a file it did not
    // create); after that the file is ours and goes on any failed test.
    if (!DownloadUpdateFrom(serviceHost, info.download_url, installerPath, info.size_bytes,
                            error)) {
        installerPath.clear();
        return false;
    }
    if (!VerifyUpdateSha256(installerPath, info.sha256, error) ||
        !VerifyInstallerSignature(installerPath, error) ||
        !VerifyInstallerVersion(installerPath, info.version, error)) {
        DeleteFileW(installerPath.c_str());
        installerPath.clear();
        return false;
    }
    return true;
}

bool FetchVerifiedInstaller(const UpdateInfo& info, std::wstring& installerPath,
                            std::wstring& error) {
    return FetchVerifiedInstallerFrom(BuiltInUpdateServer().host, info, installerPath, error);
}
