// Prints, before the first test, where this suite is running, so a log shows at a glance that
// the Windows build really ran under Wine.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string Platform() {
#ifdef _WIN32
    using WineVersion = const char*(__cdecl*)();
    const auto wineVersion = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return wineVersion ? std::string("Windows build under Wine ") + wineVersion()
                       : "Windows build on Windows";
#else
    return "native host build";
#endif
}

struct PlatformBanner : testing::Environment {
    void SetUp() override { std::printf("Platform: %s\n", Platform().c_str()); }
};

const testing::Environment* const kBanner = testing::AddGlobalTestEnvironment(new PlatformBanner);

}  // namespace
