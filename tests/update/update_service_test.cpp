// Run by tests/account/run_service_tests.py, which starts the stand-in update service.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "account/json_text.h"
#include "common/text_conversion.h"
#include "update/installer_verification.h"
#include "update/update_check.h"
#include "update/update_download.h"
#include "update/update_info.h"
#include "tests/support/standin_client.h"

namespace {

const wchar_t kRequestFailed[] = L"The update server request failed.";
const wchar_t kIncomplete[] = L"The update download was incomplete.";
const wchar_t kTooLarge[] = L"The update response was unexpectedly large.";
const wchar_t kUnexpectedPath[] = L"The update download URL has an unexpected path.";
const wchar_t kUnexpectedServer[] = L"The update download URL points to an unexpected server.";

uint16_t Port(const wchar_t* name = L"TERVANE_STANDIN_PORT") {
    return static_cast<uint16_t>(_wtoi(Env(name).c_str()));
}
std::wstring Origin(uint16_t port = Port()) {
    return L"https://localhost:" + std::to_wstring(port);
}
std::wstring OnPort(std::wstring url, const wchar_t* portName) {
    return url.replace(0, Origin().size(), Origin(Port(portName)));
}
const wchar_t kHost[] = L"localhost";

std::string Control(const std::wstring& path, const std::string& body = std::string(),
                    const std::wstring& verb = L"POST") {
    return StandInControl(Origin(), verb, path, body);
}
void ArmFault(const std::wstring& query) {
    Control(L"/_standin/fault?" + query);
}
int RequestCount() {
    return std::stoi(Control(L"/_standin/count", "", L"GET"));
}
// The stand-in logs a request once its answer is out, which for a paced, stalled or abandoned
// one is after the program has ended the exchange: seconds later on a loaded machine.
int RequestCountOnceAtLeast(int expected) {
    for (int i = 0; i < 500 && RequestCount() < expected; ++i)
        Sleep(20);
    return RequestCount();
}
std::string LastRequest() {
    return Control(L"/_standin/last", "", L"GET");
}

struct Published {
    std::wstring url;
    uint64_t size = 0;
    std::wstring sha256;
};

// Publishes an installer of 1.0.1 with the given extra query; the answer is the metadata the
// stand-in will serve.
Published Publish(const std::wstring& query, const std::string& package = std::string()) {
    const std::string metadata =
        Control(L"/_standin/publish?package_type=installer&version=1.0.1" + query, package);
    std::string url, sha256;
    Published p;
    EXPECT_TRUE(ReadJsonStringField(metadata, "download_url", url) &&
                ReadJsonUnsignedField(metadata, "size_bytes", p.size) &&
                ReadJsonStringField(metadata, "sha256", sha256))
        << metadata;
    p.url = Utf8ToUtf16(url);
    const size_t origin = p.url.find(L"{origin}");
    if (origin != std::wstring::npos)
        p.url.replace(origin, 8, Origin());
    p.sha256 = Utf8ToUtf16(sha256);
    return p;
}

std::string Package(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + 7) % 251);
    return bytes;
}

std::vector<std::wstring> UpdateFilesInTemp() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((TempFolder() + L"OVC*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

const auto* const kTrust = testing::AddGlobalTestEnvironment(new TrustTestAuthority);

class UpdateServiceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Port(), 0) << "run through run_service_tests.py";
        Control(L"/_standin/reset");
        before_ = UpdateFilesInTemp();
    }
    // Whatever a test did, it leaves no downloaded file or placeholder behind.
    void TearDown() override { EXPECT_EQ(UpdateFilesInTemp(), before_); }

    std::vector<std::wstring> before_;
};

struct Check {
    bool ok = false;
    bool none = true;
    UpdateInfo info;
    std::wstring error = L"stale";
};

Check RunCheck(bool installedCopy, const wchar_t* portName = L"TERVANE_STANDIN_PORT") {
    UpdateServer server;
    server.host = kHost;
    server.port = Port(portName);
    Check c;
    c.info.version = L"stale";
    c.ok = CheckForUpdateAt(server, installedCopy, c.info, c.none, c.error);
    return c;
}

using UpdateCheckTest = UpdateServiceTest;

TEST_F(UpdateCheckTest, FindsThePackageOfTheCopyWithTheFixedRequest) {
    const Published p = Publish(L"", Package(1000));
    Check c = RunCheck(true);
    ASSERT_TRUE(c.ok) << Narrow(c.error);
    EXPECT_TRUE(!c.none && c.error.empty());
    EXPECT_EQ(c.info.version, L"1.0.1");
    EXPECT_EQ(c.info.download_url, p.url);
    std::string raw = LastRequest();
    EXPECT_EQ(raw.rfind("GET /api/app/windows/latest/ HTTP/1.1\r\n", 0), 0u) << raw;
    EXPECT_NE(raw.find("\r\nUser-Agent: TervaneConfig/1.0.0\r\n"), std::string::npos) << raw;
    EXPECT_EQ(raw.find("Authorization"), std::string::npos);
    EXPECT_EQ(raw.find("Content-Length"), std::string::npos);

    // Nothing published for a portable copy is no failure.
    c = RunCheck(false);
    EXPECT_TRUE(c.ok && c.none && c.error.empty()) << Narrow(c.error);
    raw = LastRequest();
    EXPECT_EQ(raw.rfind("GET /api/app/windows/latest/?package_type=portable HTTP/1.1", 0), 0u);
    Control(L"/_standin/publish?package_type=portable&version=1.0.1", Package(10));
    c = RunCheck(false);
    EXPECT_TRUE(c.ok && !c.none) << Narrow(c.error);
    EXPECT_EQ(c.info.package_type, L"portable");
}

// Each fault is one request, never a second one to where a redirect points. A body cut short
// fails the read on Windows; Wine reports its end, and what arrived is then no metadata. The
// URL rules are the ValidateDownloadUrl table's; here the copy's prefix and service's host.
TEST_F(UpdateCheckTest, FaultsUnreachableServersAndForeignUrlsEndInTheirSentence) {
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    const wchar_t* const kNoMetadata = L"The update server returned incomplete metadata.";
    const std::wstring kStandIn = L"TERVANE_STANDIN_PORT";
    const struct {
        const wchar_t* fault;
        const wchar_t* error;
        std::wstring port = L"TERVANE_STANDIN_PORT";
        std::wstring publish = L"";
        bool installedCopy = true;
    } cases[] = {
        {L"kind=redirect&code=301&location=/api/app/windows/latest/%3Fx=1",
         L"The update server returned HTTP 301."},
        {L"kind=size&bytes=1048576", kNoMetadata},  // exactly the cap is read
        {L"kind=size&bytes=1048577", kTooLarge},
        {L"kind=size&bytes=3000000&chunked=1", kTooLarge},
        {L"kind=truncate&bytes=4000", wine ? kNoMetadata : kRequestFailed},
        {L"kind=stall&ms=16000", kRequestFailed},  // past the receive time-out
        {nullptr, kRequestFailed, L"TERVANE_ROGUE_PORT"},
        {nullptr, kRequestFailed, L"TERVANE_LEGACY_PORT"},
        {nullptr, kRequestFailed, L"TERVANE_CLOSED_PORT"},
        {nullptr, kUnexpectedPath, kStandIn,
         L"&package_type=portable&download_url=" + Origin() +
             L"/app/windows/installer/download/1/a.exe",
         false},
        {nullptr, kUnexpectedServer, kStandIn,
         L"&download_url=https://127.0.0.1/app/windows/installer/download/1/a.exe"},
    };
    for (const auto& c : cases) {
        Publish(c.publish, Package(10));
        const int before = RequestCount();
        if (c.fault)
            ArmFault(c.fault);
        const Check check = RunCheck(c.installedCopy, c.port.c_str());
        EXPECT_FALSE(check.ok) << Narrow(c.port);
        EXPECT_EQ(check.error, c.error) << Narrow(c.fault ? c.fault : c.publish);
        const int requests = before + (c.port == kStandIn ? 1 : 0);
        EXPECT_EQ(RequestCountOnceAtLeast(requests), requests) << Narrow(c.port);
    }
}

const wchar_t kInstaller[] = L"/app/windows/installer/download/";

// Accepted URLs give their path, query and port; refused ones their sentence and nothing else.
TEST(ValidateDownloadUrl, AcceptsOnlyHttpsOnTheServiceHostUnderThePrefix) {
    const wchar_t kInvalid[] = L"The update server returned an invalid download URL.";
    const wchar_t* const kPortable = L"/app/windows/portable/download/";
    const struct {
        std::wstring url;
        uint16_t port;         // of an accepted URL
        const wchar_t* error;  // null: accepted
        const wchar_t* prefix = kInstaller;
    } cases[] = {
        {L"https://localhost/app/windows/installer/download/7/a.exe", 443, nullptr},
        {L"https://localhost:8443/app/windows/installer/download/a.exe?t=1&u=2", 8443, nullptr},
        {L"https://localhost/app/windows/portable/download/a.zip", 443, nullptr, kPortable},
        {L"", 0, kInvalid},
        {L"/app/windows/installer/download/a.exe", 0, kInvalid},
        {std::wstring(L"https://localhost/app/windows/installer/download/a") + L'\0' + L"b", 0,
         kInvalid},
        {L"http://localhost/app/windows/installer/download/a.exe", 0,
         L"The update download URL was not HTTPS."},
        {L"https://localhost.example.invalid/app/windows/installer/download/a.exe", 0,
         kUnexpectedServer},
        {L"https://localhost@example.invalid/app/windows/installer/download/a.exe", 0,
         kUnexpectedServer},
        {L"https://localhost/App/windows/installer/download/a.exe", 0, kUnexpectedPath},
        {L"https://localhost/app/windows/installer/download", 0, kUnexpectedPath},
    };
    for (const auto& c : cases) {
        std::wstring pathAndQuery = L"stale", error = L"stale";
        uint16_t port = 1;
        const bool ok = ValidateDownloadUrlFor(kHost, c.url, c.prefix, pathAndQuery, port, error);
        EXPECT_EQ(ok, c.error == nullptr) << Narrow(c.url);
        EXPECT_EQ(error, c.error ? c.error : L"") << Narrow(c.url);
        EXPECT_EQ(pathAndQuery, ok ? c.url.substr(c.url.find(L"/app/")) : L"");
        EXPECT_TRUE(!ok || port == c.port) << Narrow(c.url);
    }
}

// The helper runs and clears only OVC*.exe files of the temporary folder.
TEST(MakeUpdateTempPath, NamesAnOwnExeInTheTemporaryFolderWithNothingBehindIt) {
    const std::vector<std::wstring> before = UpdateFilesInTemp();
    const std::wstring own = MakeUpdateTempPath();
    EXPECT_EQ(UpdateFilesInTemp(), before);  // the placeholder is gone too
    EXPECT_EQ(own.substr(0, TempFolder().size() + 3), TempFolder() + L"OVC") << Narrow(own);
    EXPECT_EQ(own.substr(own.size() - 4), L".exe");
}

struct Download {
    bool ok = false;
    std::wstring path;
    std::wstring error = L"stale";
};

Download RunDownload(const std::wstring& url, uint64_t size) {
    Download d;
    d.path = MakeUpdateTempPath();
    EXPECT_FALSE(d.path.empty());
    d.ok = DownloadUpdateFrom(kHost, url, d.path, size, d.error);
    return d;
}

using UpdateDownloadTest = UpdateServiceTest;

// Small limits stand in for the program's own. What is refused before any request (too large,
// a portable package's URL) is refused with its URL on a closed port; a server that cannot be
// trusted is never read from.
TEST_F(UpdateDownloadTest, FaultsAndLimitsEndInTheirSentenceAndLeaveNoFile) {
    const size_t size = 200000;
    const DownloadLimits limits{size + 1, 6000, 1500};
    const struct {
        const wchar_t* publish;
        const wchar_t* fault;  // one-shot fault for the download request, or nullptr
        const wchar_t* error;
        const wchar_t* port = nullptr;  // the stand-in's own
    } cases[] = {
        {L"&size_bytes=199999", nullptr, kIncomplete},
        {L"&size_bytes=200001", nullptr, kIncomplete},
        {L"&size_bytes=200002", nullptr, L"The update is larger than this program accepts.",
         L"TERVANE_CLOSED_PORT"},
        {L"&package_type=portable", nullptr, kUnexpectedPath, L"TERVANE_CLOSED_PORT"},
        {L"", nullptr, kIncomplete, L"TERVANE_ROGUE_PORT"},
        {L"", L"kind=status&code=409",
         L"The update was replaced while it was being downloaded. Please check again."},
        {L"", L"kind=redirect&code=302&location=/elsewhere",
         L"The update download returned HTTP 302."},
        {L"", L"kind=truncate&bytes=200000", kIncomplete},
        {L"", L"kind=stall&ms=500&after=headers", kIncomplete},
        {L"&pace_bytes=65536&pace_ms=40000", nullptr,
         L"The update download stalled and was stopped."},
        {L"&pace_bytes=2048&pace_ms=200", nullptr,
         L"The update download took too long and was stopped."},
    };
    for (const auto& c : cases) {
        const Published p = Publish(c.publish, Package(size));
        if (c.fault != nullptr)
            ArmFault(c.fault);
        const std::wstring url = c.port ? OnPort(p.url, c.port) : p.url;
        const std::wstring path = MakeUpdateTempPath();
        std::wstring error;
        EXPECT_FALSE(DownloadUpdateFrom(kHost, url, path, p.size, error, limits));
        EXPECT_EQ(error, c.error) << Narrow(c.publish) << Narrow(c.fault ? c.fault : L"");
        EXPECT_FALSE(Exists(path));
    }
}

// The download worker's whole task: whatever test the file fails, it is gone afterwards. The
// demo's installers are genuine signed builds of this version and of the next.
TEST_F(UpdateDownloadTest, TheWorkersTaskKeepsOnlyAGenuineNewerInstaller) {
    const std::wstring fixtures = TERVANE_SIGNING_FIXTURES;
    const std::wstring installers = TERVANE_DEMO_INSTALLERS;
    const std::wstring next = installers + L"\\TervaneConnectDemoSetup-1.0.1.exe";
    const struct {
        std::wstring file;
        const wchar_t* overrides;
        const wchar_t* error;  // null: accepted
    } cases[] = {
        {next, L"", nullptr},
        {next, L"&sha256=0000000000000000000000000000000000000000000000000000000000000000",
         L"The downloaded update failed its SHA-256 checksum."},
        {fixtures + L"\\other.exe", L"",
         L"The installer was signed with an unexpected certificate."},
        {fixtures + L"\\signed.exe", L"", L"The update installer does not state its version."},
        {installers + L"\\TervaneConnectDemoSetup-1.0.0.exe", L"",
         L"The update installer is not the version the update server announced."},
    };
    for (const auto& c : cases) {
        const std::string package = ReadFileBytes(c.file);
        ASSERT_FALSE(package.empty()) << Narrow(c.file);
        const Published p = Publish(c.overrides, package);
        UpdateInfo info{1, L"installer", L"1.0.1", L"", L"", p.size, p.sha256, p.url};
        std::wstring path, error;
        const bool ok = FetchVerifiedInstallerFrom(kHost, info, path, error);
        EXPECT_EQ(ok, c.error == nullptr) << Narrow(c.file) << ": " << Narrow(error);
        if (ok) {
            EXPECT_EQ(ReadFileBytes(path), package);
            EXPECT_TRUE(DeleteFileW(path.c_str()));
        } else {
            EXPECT_EQ(error.rfind(c.error ? c.error : L"?", 0), 0u) << Narrow(error);
            EXPECT_TRUE(path.empty());
        }
        EXPECT_EQ(UpdateFilesInTemp(), before_) << Narrow(c.file);
    }
}

// A figure, not a limit: the peak working set should stay far below the package size.
TEST_F(UpdateDownloadTest, PeakWorkingSetWhileDownloading) {
    const Published p = Publish(L"&generate=" + std::to_wstring(50 << 20));
    const Download d = RunDownload(p.url, p.size);
    ASSERT_TRUE(d.ok) << Narrow(d.error);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("download of 50 MiB: peak working set %.1f MiB\n",
                memory.PeakWorkingSetSize / 1048576.0);
    DeleteFileW(d.path.c_str());
}

}  // namespace
