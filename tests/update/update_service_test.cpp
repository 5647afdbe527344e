// The update check and the update download against the stand-in update service over HTTPS.
// Run by run_update_service_tests.py, which starts the stand-in and names it in the
// environment; the test authority is trusted in this program's Wine prefix only.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "account/json_text.h"
#include "common/text_conversion.h"
#include "update/installer_verification.h"
#include "update/update_check.h"
#include "update/update_download.h"
#include "update/update_info.h"
#include "tests/support/standin_client.h"

namespace {

const wchar_t kHost[] = L"localhost";

uint16_t Port(const wchar_t* name = L"TERVANE_STANDIN_PORT") {
    return static_cast<uint16_t>(_wtoi(Env(name).c_str()));
}
std::wstring Origin(uint16_t port = Port()) {
    return L"https://localhost:" + std::to_wstring(port);
}
UpdateServer StandIn(uint16_t port = Port()) {
    UpdateServer server;
    server.host = kHost;
    server.port = port;
    return server;
}

std::string Control(const std::wstring& path, const std::string& body = std::string(),
                    const std::wstring& verb = L"POST") {
    return StandInControl(Origin(), verb, path, body);
}
void ArmFault(const std::wstring& query, const std::string& body = std::string()) {
    Control(L"/_standin/fault?" + query, body);
}
int RequestCount() {
    return std::stoi(Control(L"/_standin/count", "", L"GET"));
}
std::string LastRequest() {
    return Control(L"/_standin/last", "", L"GET");
}

struct Published {
    std::wstring url;
    uint64_t size = 0;
    std::wstring sha256;
};

// Publishes a package; the answer is the metadata the stand-in will serve.
Published Publish(const std::wstring& query, const std::string& package = std::string()) {
    const std::string metadata = Control(L"/_standin/publish?" + query, package);
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

// Every OVC* file in the temporary folder: downloads and their placeholders.
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
        ASSERT_NE(Port(), 0) << "run through run_update_service_tests.py";
        Control(L"/_standin/reset");
        before_ = UpdateFilesInTemp();
    }
    // Whatever a test did, it leaves no downloaded file or placeholder behind.
    void TearDown() override { EXPECT_EQ(UpdateFilesInTemp(), before_); }

    std::vector<std::wstring> before_;
};

// --- the check --------------------------------------------------------------------------

struct Check {
    bool ok = false;
    bool none = true;
    UpdateInfo info;
    std::wstring error = L"stale";
};

Check RunCheck(bool installedCopy, const UpdateServer& server = StandIn()) {
    Check c;
    c.info.version = L"stale";
    c.ok = CheckForUpdateAt(server, installedCopy, c.info, c.none, c.error);
    return c;
}

using UpdateCheckTest = UpdateServiceTest;

TEST_F(UpdateCheckTest, FindsThePublishedInstallerWithTheFixedRequest) {
    const Published p = Publish(L"package_type=installer&version=1.0.1", Package(1000));
    const Check c = RunCheck(true);
    ASSERT_TRUE(c.ok) << Narrow(c.error);
    EXPECT_FALSE(c.none);
    EXPECT_TRUE(c.error.empty());
    EXPECT_EQ(c.info.version, L"1.0.1");
    EXPECT_EQ(c.info.size_bytes, 1000u);
    EXPECT_EQ(c.info.sha256, p.sha256);
    EXPECT_EQ(c.info.download_url, p.url);
    EXPECT_EQ(c.info.release_notes, L"Steadier pairing.");

    const std::string raw = LastRequest();
    EXPECT_EQ(raw.rfind("GET /api/app/windows/latest/ HTTP/1.1\r\n", 0), 0u) << raw;
    EXPECT_NE(raw.find("\r\nUser-Agent: TervaneConfig/1.0.0\r\n"), std::string::npos) << raw;
    EXPECT_EQ(raw.find("Authorization"), std::string::npos);
    EXPECT_EQ(raw.find("Content-Length"), std::string::npos);
}

TEST_F(UpdateCheckTest, PortableCopyAsksForThePortablePackage) {
    Publish(L"package_type=portable&version=1.0.1", Package(10));
    const Check c = RunCheck(false);
    ASSERT_TRUE(c.ok) << Narrow(c.error);
    EXPECT_EQ(c.info.package_type, L"portable");
    EXPECT_EQ(LastRequest().rfind("GET /api/app/windows/latest/?package_type=portable HTTP/1.1", 0),
              0u);
}

TEST_F(UpdateCheckTest, NothingPublishedIsNoFailure) {
    Publish(L"package_type=portable&version=1.0.1", Package(10));
    const Check c = RunCheck(true);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(c.none);
    EXPECT_TRUE(c.error.empty());
}

struct CheckFault {
    const char* name;
    const wchar_t* fault;  // query of a one-shot fault
    const wchar_t* error;
};

class UpdateCheckFaults : public UpdateServiceTest,
                          public testing::WithParamInterface<CheckFault> {};

TEST_P(UpdateCheckFaults, EndInTheirSentence) {
    Publish(L"package_type=installer&version=1.0.1", Package(10));
    const int before = RequestCount();
    ArmFault(GetParam().fault);
    const Check c = RunCheck(true);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error, GetParam().error);
    // One request, never a second one to where a redirect points.
    EXPECT_EQ(RequestCount(), before + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateCheckFaults,
    testing::Values(
        CheckFault{"MovedPermanently",
                   L"kind=redirect&code=301&location=/api/app/windows/latest/%3Fx=1",
                   L"The update server returned HTTP 301."},
        CheckFault{"Found", L"kind=redirect&code=302&location=https://localhost/",
                   L"The update server returned HTTP 302."},
        CheckFault{"ServerError", L"kind=status&code=500", L"The update server returned HTTP 500."},
        CheckFault{"Oversized", L"kind=size&bytes=1048577",
                   L"The update response was unexpectedly large."},
        CheckFault{"OversizedChunked", L"kind=size&bytes=3000000&chunked=1",
                   L"The update response was unexpectedly large."},
        CheckFault{"DroppedConnection", L"kind=drop", L"The update server request failed."},
        CheckFault{"NotHttp", L"kind=raw", L"The update server request failed."},
        CheckFault{"NotJson", L"kind=status&code=200&type=text/html",
                   L"The update server returned incomplete metadata."}),
    [](const testing::TestParamInfo<CheckFault>& info) { return info.param.name; });

// A body cut short by a closed connection fails the read on Windows; Wine reports the end of
// the body instead, and what arrived is then no metadata. Either way the check fails.
TEST_F(UpdateCheckTest, ABodyCutShortFails) {
    Publish(L"package_type=installer&version=1.0.1", Package(10));
    ArmFault(L"kind=truncate&bytes=4000");
    const Check c = RunCheck(true);
    EXPECT_FALSE(c.ok);
    EXPECT_TRUE(c.error == L"The update server request failed." ||
                c.error == L"The update server returned incomplete metadata.")
        << Narrow(c.error);
    std::printf("a metadata body cut short gives: %s\n", Narrow(c.error).c_str());
}

// A valid document padded with spaces to the exact size.
std::string PaddedMetadata(const std::wstring& url, size_t size) {
    std::string body =
        "{\"schema_version\": 1, \"platform\": \"windows\", \"package_type\": "
        "\"installer\", \"version\": \"1.0.1\", \"filename\": \"a.exe\", "
        "\"size_bytes\": 10, \"sha256\": \"" +
        std::string(64, 'a') + "\", \"download_url\": \"" + Narrow(url) + "\"}";
    body.insert(1, size - body.size(), ' ');
    return body;
}

TEST_F(UpdateCheckTest, BodyOfExactlyTheCapIsAcceptedAndOneMoreByteIsNot) {
    const std::wstring url = Origin() + L"/app/windows/installer/download/1/a.exe";
    Control(L"/_standin/metadata?package_type=installer", PaddedMetadata(url, 1048576));
    Check c = RunCheck(true);
    EXPECT_TRUE(c.ok) << Narrow(c.error);
    EXPECT_EQ(c.info.download_url, url);

    Control(L"/_standin/metadata?package_type=installer", PaddedMetadata(url, 1048577));
    c = RunCheck(true);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error, L"The update response was unexpectedly large.");
}

// Every rule of the URL is in the ValidateDownloadUrl table; here the check applies it with the
// copy's own package prefix and the service's host.
TEST_F(UpdateCheckTest, RefusesADownloadUrlOutsideThePrefixOrHostOfTheCopy) {
    const struct {
        std::wstring url;
        bool installedCopy;
        const wchar_t* error;
    } cases[] = {{Origin() + L"/app/windows/installer/download/1/a.exe", false,
                  L"The update download URL has an unexpected path."},
                 {L"https://127.0.0.1/app/windows/installer/download/1/a.exe", true,
                  L"The update download URL points to an unexpected server."}};
    for (const auto& c : cases) {
        Publish(std::wstring(L"package_type=") + (c.installedCopy ? L"installer" : L"portable") +
                    L"&version=1.0.1&download_url=" + c.url,
                Package(10));
        const Check check = RunCheck(c.installedCopy);
        EXPECT_FALSE(check.ok);
        EXPECT_EQ(check.error, c.error) << Narrow(c.url);
    }
}

// Neither a certificate that chains to an authority nobody trusts nor a server that speaks
// only TLS 1.0 and 1.1 is accepted.
TEST_F(UpdateCheckTest, AnUntrustedOrLegacyServerIsRefused) {
    for (const wchar_t* name : {L"TERVANE_ROGUE_PORT", L"TERVANE_LEGACY_PORT"}) {
        const Check c = RunCheck(true, StandIn(Port(name)));
        EXPECT_FALSE(c.ok) << Narrow(name);
        EXPECT_EQ(c.error, L"The update server request failed.") << Narrow(name);
    }
}

TEST_F(UpdateCheckTest, NothingListeningIsARequestFailure) {
    const Check c = RunCheck(true, StandIn(Port(L"TERVANE_CLOSED_PORT")));
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error, L"The update server request failed.");
}

TEST_F(UpdateCheckTest, AServerThatStallsIsGivenUpAfterTheReceiveTimeout) {
    ArmFault(L"kind=stall&ms=16000");
    const DWORD start = GetTickCount();
    const Check c = RunCheck(true);
    const DWORD waited = GetTickCount() - start;
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error, L"The update server request failed.");
    std::printf("a stalled metadata request ended after %lu ms\n",
                static_cast<unsigned long>(waited));
}

// --- the download URL -------------------------------------------------------------------

const wchar_t kInstaller[] = L"/app/windows/installer/download/";
const wchar_t kPortable[] = L"/app/windows/portable/download/";

TEST(ValidateDownloadUrl, AcceptsHttpsOnTheServiceHostUnderThePrefix) {
    const struct {
        const wchar_t* url;
        const wchar_t* prefix;
        const wchar_t* pathAndQuery;
        uint16_t port;
    } cases[] = {
        {L"https://localhost/app/windows/installer/download/7/a.exe", kInstaller,
         L"/app/windows/installer/download/7/a.exe", 443},
        {L"https://localhost:8443/app/windows/installer/download/a.exe?t=1&u=2", kInstaller,
         L"/app/windows/installer/download/a.exe?t=1&u=2", 8443},
        {L"https://LOCALHOST/app/windows/installer/download/a.exe", kInstaller,
         L"/app/windows/installer/download/a.exe", 443},
        {L"https://localhost/app/windows/portable/download/a.zip", kPortable,
         L"/app/windows/portable/download/a.zip", 443},
    };
    for (const auto& c : cases) {
        std::wstring pathAndQuery, error = L"stale";
        uint16_t port = 1;
        ASSERT_TRUE(ValidateDownloadUrlFor(kHost, c.url, c.prefix, pathAndQuery, port, error))
            << Narrow(error);
        EXPECT_TRUE(error.empty());
        EXPECT_EQ(pathAndQuery, c.pathAndQuery);
        EXPECT_EQ(port, c.port);
    }
}

TEST(ValidateDownloadUrl, RefusesEveryOtherUrlWithItsSentence) {
    const wchar_t kInvalid[] = L"The update server returned an invalid download URL.";
    const wchar_t kServer[] = L"The update download URL points to an unexpected server.";
    const wchar_t kPath[] = L"The update download URL has an unexpected path.";
    const struct {
        std::wstring url;
        const wchar_t* error;
    } cases[] = {
        {L"", kInvalid},
        {L"/app/windows/installer/download/a.exe", kInvalid},
        {std::wstring(L"https://localhost/app/windows/installer/download/a") + L'\0' + L"b",
         kInvalid},
        {L"http://localhost/app/windows/installer/download/a.exe",
         L"The update download URL was not HTTPS."},
        {L"https://example.invalid/app/windows/installer/download/a.exe", kServer},
        {L"https://localhost.example.invalid/app/windows/installer/download/a.exe", kServer},
        {L"https://localhost@example.invalid/app/windows/installer/download/a.exe", kServer},
        {L"https://localhost/App/windows/installer/download/a.exe", kPath},
        {L"https://localhost/app/windows/portable/download/a", kPath},
        {L"https://localhost/app/windows/installer/download", kPath},
    };
    for (const auto& c : cases) {
        std::wstring pathAndQuery = L"stale", error;
        uint16_t port = 1;
        EXPECT_FALSE(ValidateDownloadUrlFor(kHost, c.url, kInstaller, pathAndQuery, port, error));
        EXPECT_EQ(error, c.error) << Narrow(c.url);
        EXPECT_TRUE(pathAndQuery.empty());
    }
}

TEST(ValidateDownloadUrl, ChecksAgainstTheBuiltInServiceHost) {
    std::wstring pathAndQuery, error;
    uint16_t port = 0;
    EXPECT_TRUE(ValidateDownloadUrl(L"https://LOCALHOST:47811/app/windows/installer/download/a",
                                    kInstaller, pathAndQuery, port, error));
    EXPECT_FALSE(ValidateDownloadUrl(L"https://127.0.0.1/app/windows/installer/download/a.exe",
                                     kInstaller, pathAndQuery, port, error));
}

// --- the download -----------------------------------------------------------------------

TEST(MakeUpdateTempPath, NamesAnExeInTheTemporaryFolderWithNothingBehindIt) {
    const std::vector<std::wstring> before = UpdateFilesInTemp();
    const std::wstring path = MakeUpdateTempPath();
    ASSERT_FALSE(path.empty());
    const std::wstring folder = TempFolder();
    EXPECT_EQ(path.compare(0, folder.size(), folder), 0) << Narrow(path);
    const std::wstring name = path.substr(folder.size());
    EXPECT_EQ(name.compare(0, 3, L"OVC"), 0) << Narrow(name);
    EXPECT_EQ(name.substr(name.size() - 4), L".exe");
    EXPECT_EQ(name.find(L'.'), name.size() - 4);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(UpdateFilesInTemp(), before);  // the placeholder is gone too
}

TEST(MakeUpdateTempPath, GivesNothingWhenTheTemporaryFolderIsMissing) {
    std::wstring path, installer = L"stale", error;
    bool fetched = true;
    {
        const MissingTempFolder missing;
        path = MakeUpdateTempPath();
        UpdateInfo info;
        info.download_url = L"https://localhost/app/windows/installer/download/a/b.exe";
        fetched = FetchVerifiedInstallerFrom(kHost, info, installer, error);
    }
    EXPECT_TRUE(path.empty()) << Narrow(path);
    EXPECT_FALSE(fetched);
    EXPECT_TRUE(installer.empty());
    EXPECT_EQ(error, L"Could not create a temporary update file.");
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

TEST_F(UpdateDownloadTest, ExactlyTheAnnouncedBytesAreKept) {
    const std::string package = Package(300000);
    const Published p = Publish(L"package_type=installer&version=1.0.1", package);
    Download d = RunDownload(p.url, p.size);
    ASSERT_TRUE(d.ok) << Narrow(d.error);
    EXPECT_TRUE(d.error.empty());
    EXPECT_EQ(ReadFileBytes(d.path), package);
    std::wstring error;
    EXPECT_TRUE(VerifyUpdateSha256(d.path, p.sha256, error)) << Narrow(error);
    const std::string raw = LastRequest();
    EXPECT_NE(raw.find("\r\nUser-Agent: TervaneConfig/1.0.0\r\n"), std::string::npos) << raw;
    EXPECT_TRUE(DeleteFileW(d.path.c_str()));
}

struct DownloadFault {
    const char* name;
    int64_t announcedDelta;  // announced size minus the real size
    const wchar_t* fault;    // one-shot fault for the download request, or nullptr
    const wchar_t* error;
};

class UpdateDownloadFaults : public UpdateServiceTest,
                             public testing::WithParamInterface<DownloadFault> {};

TEST_P(UpdateDownloadFaults, EndInTheirSentenceAndLeaveNoFile) {
    const DownloadFault& f = GetParam();
    const size_t size = 200000;
    std::wstring query = L"package_type=installer&version=1.0.1";
    if (f.announcedDelta != 0) {
        query += L"&size_bytes=" + std::to_wstring(static_cast<int64_t>(size) + f.announcedDelta);
    }
    const Published p = Publish(query, Package(size));
    if (f.fault != nullptr)
        ArmFault(f.fault);
    const int before = RequestCount();
    const Download d = RunDownload(p.url, p.size);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error, f.error);
    EXPECT_FALSE(Exists(d.path));
    EXPECT_EQ(RequestCount(), before + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateDownloadFaults,
    testing::Values(
        DownloadFault{"OneByteMoreThanAnnounced", -1, nullptr,
                      L"The update download was incomplete."},
        DownloadFault{"OneByteFewerThanAnnounced", +1, nullptr,
                      L"The update download was incomplete."},
        DownloadFault{"FarMoreThanAnnounced", -199999, nullptr,
                      L"The update download was incomplete."},
        DownloadFault{"Redirect", 0, L"kind=redirect&code=302&location=/elsewhere",
                      L"The update download returned HTTP 302."},
        DownloadFault{"ServerError", 0, L"kind=status&code=503",
                      L"The update download returned HTTP 503."},
        DownloadFault{"TruncatedBody", 0, L"kind=truncate&bytes=200000",
                      L"The update download was incomplete."},
        DownloadFault{"CutAfterTheHeaders", 0, L"kind=stall&ms=500&after=headers",
                      L"The update download was incomplete."},
        DownloadFault{"DroppedConnection", 0, L"kind=drop", L"The update download was incomplete."},
        DownloadFault{"NotHttp", 0, L"kind=raw", L"The update download was incomplete."}),
    [](const testing::TestParamInfo<DownloadFault>& info) { return info.param.name; });

TEST_F(UpdateDownloadTest, ASupersededPackageIsReportedAsReplaced) {
    const Published old = Publish(L"package_type=installer&version=1.0.1", Package(1000));
    Publish(L"package_type=installer&version=1.0.2", Package(1000));
    const Download d = RunDownload(old.url, old.size);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error,
              L"The update was replaced while it was being downloaded. Please check again.");
    EXPECT_FALSE(Exists(d.path));
}

TEST_F(UpdateDownloadTest, APortableUrlIsRefusedBeforeAnyRequest) {
    const Published p = Publish(L"package_type=portable&version=1.0.1", Package(1000));
    const int before = RequestCount();
    const Download d = RunDownload(p.url, p.size);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error, L"The update download URL has an unexpected path.");
    EXPECT_FALSE(Exists(d.path));
    EXPECT_EQ(RequestCount(), before);
}

TEST_F(UpdateDownloadTest, AnUntrustedOrLegacyServerIsNeverReadFrom) {
    const Published p = Publish(L"package_type=installer&version=1.0.1", Package(1000));
    for (const wchar_t* name : {L"TERVANE_ROGUE_PORT", L"TERVANE_LEGACY_PORT"}) {
        std::wstring url = p.url;
        url.replace(0, Origin().size(), Origin(Port(name)));
        const Download d = RunDownload(url, p.size);
        EXPECT_FALSE(d.ok) << Narrow(name);
        EXPECT_EQ(d.error, L"The update download was incomplete.") << Narrow(name);
        EXPECT_FALSE(Exists(d.path));
    }
}

TEST_F(UpdateDownloadTest, AFileAlreadyAtThePathIsLeftAlone) {
    const Published p = Publish(L"package_type=installer&version=1.0.1", Package(1000));
    const std::wstring path = TempFolder() + L"tervane-existing.exe";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "mine", 4, &written, nullptr);
    CloseHandle(file);
    std::wstring error;
    EXPECT_FALSE(DownloadUpdateFrom(kHost, p.url, path, p.size, error));
    EXPECT_EQ(error, L"The update download was incomplete.");
    EXPECT_EQ(ReadFileBytes(path), "mine");
    DeleteFileW(path.c_str());
}

TEST_F(UpdateDownloadTest, ASlowButSteadyDownloadCompletes) {
    const std::string package = Package(256 * 1024);
    const Published p =
        Publish(L"package_type=installer&version=1.0.1&pace_bytes=16384&pace_ms=150", package);
    const DWORD start = GetTickCount();
    Download d = RunDownload(p.url, p.size);
    ASSERT_TRUE(d.ok) << Narrow(d.error);
    EXPECT_EQ(ReadFileBytes(d.path), package);
    std::printf("paced download of %zu bytes took %lu ms\n", package.size(),
                static_cast<unsigned long>(GetTickCount() - start));
    EXPECT_TRUE(DeleteFileW(d.path.c_str()));
}

// Small limits stand in for the program's own. A refused size is never asked for: its URL
// names a closed port.
TEST_F(UpdateDownloadTest, LimitsEndTheDownloadInTheirSentenceAndLeaveNoFile) {
    const size_t size = 200000;
    const DownloadLimits limits{size, 3000, 1500};
    const struct {
        const wchar_t* publish;
        const wchar_t* error;
    } cases[] = {
        {L"&size_bytes=200001", L"The update is larger than this program accepts."},
        {L"&pace_bytes=65536&pace_ms=40000", L"The update download stalled and was stopped."},
        {L"&pace_bytes=2048&pace_ms=200", L"The update download took too long and was stopped."},
    };
    for (const auto& c : cases) {
        const Published p = Publish(
            std::wstring(L"package_type=installer&version=1.0.1") + c.publish, Package(size));
        std::wstring url = p.url;
        if (p.size > size)
            url.replace(0, Origin().size(), Origin(Port(L"TERVANE_CLOSED_PORT")));
        const std::wstring path = MakeUpdateTempPath();
        std::wstring error;
        const DWORD start = GetTickCount();
        EXPECT_FALSE(DownloadUpdateFrom(kHost, url, path, p.size, error, limits));
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(Exists(path));
        std::printf("%s after %lu ms\n", Narrow(c.error).c_str(),
                    static_cast<unsigned long>(GetTickCount() - start));
    }
}

// The download worker's whole task: whatever test the file fails, it is gone afterwards. The
// demo's installers are genuine signed builds of this version and of the next.
TEST_F(UpdateDownloadTest, TheWorkersTaskKeepsOnlyAGenuineNewerInstaller) {
    const std::wstring fixtures = TERVANE_SIGNING_FIXTURES;
    const std::wstring installers = TERVANE_DEMO_INSTALLERS;
    const std::wstring next = installers + L"\\TervaneConnectDemoSetup-1.0.1.exe";
    const std::wstring same = installers + L"\\TervaneConnectDemoSetup-1.0.0.exe";
    const struct {
        std::wstring file;
        const wchar_t* overrides;
        const wchar_t* error;  // null: accepted
    } cases[] = {
        {next, L"", nullptr},
        {next, L"&sha256=0000000000000000000000000000000000000000000000000000000000000000",
         L"The downloaded update failed its SHA-256 checksum."},
        {next, L"&size_bytes=9999999", L"The update download was incomplete."},
        {fixtures + L"\\other.exe", L"",
         L"The installer was signed with an unexpected certificate."},
        {fixtures + L"\\signed.exe", L"", L"The update installer does not state its version."},
        {same, L"", L"The update installer is not the version the update server announced."},
    };
    for (const auto& c : cases) {
        const std::string package = ReadFileBytes(c.file);
        ASSERT_FALSE(package.empty()) << Narrow(c.file);
        const Published p =
            Publish(std::wstring(L"package_type=installer&version=1.0.1") + c.overrides, package);
        UpdateInfo info;
        info.version = L"1.0.1";
        info.download_url = p.url;
        info.size_bytes = p.size;
        info.sha256 = p.sha256;
        std::wstring path, error;
        const bool ok = FetchVerifiedInstallerFrom(kHost, info, path, error);
        if (c.error == nullptr) {
            ASSERT_TRUE(ok) << Narrow(error);
            EXPECT_EQ(ReadFileBytes(path), package);
            EXPECT_TRUE(DeleteFileW(path.c_str()));
            continue;
        }
        EXPECT_FALSE(ok) << Narrow(c.file);
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << Narrow(error);
        EXPECT_TRUE(path.empty());
        EXPECT_EQ(UpdateFilesInTemp(), before_) << Narrow(c.file);
    }
}

// --- memory -----------------------------------------------------------------------------

size_t WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// Samples the working set while a download runs and gives the highest value seen.
size_t PeakWorkingSetDuring(const std::wstring& url, uint64_t size, Download& d) {
    std::atomic<bool> done{false};
    size_t peak = WorkingSet();
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak, WorkingSet());
            Sleep(5);
        }
    });
    d = RunDownload(url, size);
    done = true;
    sampler.join();
    return std::max(peak, WorkingSet());
}

// A figure, not a limit: the peak working set must not grow with the package size.
TEST_F(UpdateDownloadTest, PeakWorkingSetWhileDownloading) {
    const double mib = 1024.0 * 1024.0;
    for (const uint64_t size : {uint64_t{5} << 20, uint64_t{50} << 20}) {
        const Published p =
            Publish(L"package_type=installer&version=1.0.1&generate=" + std::to_wstring(size));
        const size_t baseline = WorkingSet();
        Download d;
        const DWORD start = GetTickCount();
        const size_t peak = PeakWorkingSetDuring(p.url, p.size, d);
        const DWORD took = GetTickCount() - start;
        ASSERT_TRUE(d.ok) << Narrow(d.error);
        std::printf(
            "download of %.0f MiB: working set %.1f MiB before, peak %.1f MiB "
            "(+%.1f MiB), %lu ms\n",
            size / mib, baseline / mib, peak / mib, (peak > baseline ? peak - baseline : 0) / mib,
            static_cast<unsigned long>(took));
        EXPECT_TRUE(DeleteFileW(d.path.c_str()));
    }
}

}  // namespace
