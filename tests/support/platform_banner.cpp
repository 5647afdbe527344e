// Prints, before the first test, where this suite is running, so a log shows at a glance that
// the Windows build really ran under Wine.
#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

class PlatformBanner : public testing::Environment {
public:
    void SetUp() override {
#ifdef _WIN32
        using WineVersion = const char*(__cdecl*)();
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const auto wineVersion = ntdll ? reinterpret_cast<WineVersion>(reinterpret_cast<void*>(
                                             GetProcAddress(ntdll, "wine_get_version")))
                                       : nullptr;
        if (wineVersion != nullptr) {
            std::printf("Platform: Windows build under Wine %s\n", wineVersion());
        } else {
            std::printf("Platform: Windows build on Windows\n");
        }
#else
        std::printf("Platform: native host build\n");
#endif
        std::fflush(stdout);
    }
};

const testing::Environment* const kBanner =
    testing::AddGlobalTestEnvironment(new PlatformBanner);

}  // namespace
