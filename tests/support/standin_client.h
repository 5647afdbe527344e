#pragma once

// What the suites that run against a stand-in service share: its control endpoints and the
// trust in its test authority. Windows only.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "account/service_request.h"
#include "common/text_conversion.h"
#include "tests/support/windows_files.h"
#include "tools/demo/test_authority.h"

inline std::wstring Env(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? value : L"";
}

inline std::string Narrow(const std::wstring& text) {
    return Utf16ToUtf8(text);
}

// A call to the stand-in's control endpoints, over the origin the tests use.
inline std::string StandInControl(const std::wstring& origin, const std::wstring& verb,
                                  const std::wstring& path, const std::string& body) {
    uint32_t status = 0;
    std::string answer;
    std::wstring error;
    EXPECT_TRUE(SendServiceRequestTo(origin.c_str(), verb, path, L"", body, status, answer, error))
        << Narrow(error);
    EXPECT_EQ(status, 200u) << Narrow(path);
    return answer;
}

// Trusts the test authority in this prefix's machine root store, the only place it is ever
// trusted. Without TERVANE_STANDIN_CA the stand-in speaks plain HTTP.
class TrustTestAuthority : public testing::Environment {
public:
    void SetUp() override {
        const std::wstring path = Env(L"TERVANE_STANDIN_CA");
        std::wstring problem;
        EXPECT_TRUE(path.empty() || TrustTestAuthorityFile(path, problem)) << Narrow(problem);
    }
};
