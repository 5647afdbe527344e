// The Windows Runtime calls our interfaces by vtable position, and a method in the wrong slot
// only shows on real Windows. Every declaration is held against the table generated from the
// platform's ABI listing (ble/winrt_slot_table.h): own methods beginning where the base ends,
// each declared method at the listed slot, no listed slot skipped before the last declared
// one, nothing declared past the listing.
// g++ encodes a pointer to a virtual member as 1 + its byte offset in the vtable.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "ble/winrt_ble_interfaces.h"
#include "ble/winrt_slot_table.h"

namespace {

using namespace winrt_ble;

template <typename Member>
ptrdiff_t SlotOf(Member member) {
    struct {
        ptrdiff_t pointer;
        ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(member) == sizeof(representation), "unexpected member pointer layout");
    std::memcpy(&representation, &member, sizeof representation);
    return (representation.pointer - 1) / static_cast<ptrdiff_t>(sizeof(void*));
}

// The first virtual a derived class adds lands right after the last slot of its base.
template <typename Interface>
struct Probe : Interface {
    virtual void ProbeSlot() {}
};
template <typename Interface>
ptrdiff_t SlotCount() {
    return SlotOf(&Probe<Interface>::ProbeSlot);
}

// Per method name: its slot in Interface, or -1 when Interface declares no such member.
#define WINRT_DETECT_METHOD(name)                                              \
    template <typename Interface, typename = void>                             \
    struct SlotOf_##name {                                                     \
        static ptrdiff_t Get() { return -1; }                                  \
    };                                                                         \
    template <typename Interface>                                              \
    struct SlotOf_##name<Interface, std::void_t<decltype(&Interface::name)>> { \
        static ptrdiff_t Get() { return SlotOf(&Interface::name); }            \
    };
WINRT_SLOT_METHOD_NAMES(WINRT_DETECT_METHOD)
#undef WINRT_DETECT_METHOD

std::string Lower(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

// Holds Interface and its id against the listed interface `listed`.
template <typename Interface>
void ExpectListedLayout(const std::string& listed) {
    SCOPED_TRACE(listed);
    const ptrdiff_t base = std::is_base_of<IInspectable, Interface>::value ? 6 : 3;
    const ptrdiff_t end = SlotCount<Interface>();
    bool found = false;
#define WINRT_INTERFACE(Declaration, Constant, iid, firstSlot, lastSlot)           \
    if (listed == #Declaration) {                                                  \
        found = true;                                                              \
        EXPECT_EQ(Lower(Constant), iid) << "interface id";                         \
        EXPECT_EQ(firstSlot, base) << "the listing's own methods begin elsewhere"; \
        EXPECT_LE(end - 1, lastSlot) << "declared past the listing";               \
    }
#define WINRT_METHOD(Declaration, name, slot)                              \
    if (listed == #Declaration) {                                          \
        EXPECT_EQ(SlotOf_##name<Interface>::Get(), slot < end ? slot : -1) \
            << #name " is listed at slot " << slot;                        \
    }
    WINRT_SLOT_TABLE(WINRT_INTERFACE, WINRT_METHOD)
#undef WINRT_INTERFACE
#undef WINRT_METHOD
    EXPECT_TRUE(found) << "the listing has no " << listed;
}

TEST(WinrtInterfaceLayout, EveryDeclarationMatchesTheListedSlotsAndId) {
#define WINRT_INTERFACE(Declaration, Constant, iid, firstSlot, lastSlot) \
    ExpectListedLayout<Declaration>(#Declaration);
#define WINRT_METHOD(Declaration, name, slot)
    WINRT_SLOT_TABLE(WINRT_INTERFACE, WINRT_METHOD)
#undef WINRT_INTERFACE
#undef WINRT_METHOD
}

// IGattDeviceServicesResult (6 get_Status, 7 get_ProtocolError, 8 get_Services) on the wrong
// base: the check must name every misplaced slot.
struct UnknownBasedResult : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Status(INT32* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ProtocolError(IInspectable** error) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Services(IServiceVectorView** services) = 0;
};

TEST(WinrtInterfaceLayout, AMisbasedDeclarationIsReported) {
    testing::TestPartResultArray failures;
    {
        testing::ScopedFakeTestPartResultReporter reporter(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        ExpectListedLayout<UnknownBasedResult>("IGattDeviceServicesResult");
    }
    std::string messages;
    for (int i = 0; i < failures.size(); ++i) {
        messages += failures.GetTestPartResult(i).message();
    }
    EXPECT_EQ(failures.size(), 4) << messages;
    for (const char* named :
         {"begin elsewhere", "get_Status is listed at slot 6",
          "get_ProtocolError is listed at slot 7", "get_Services is listed at slot 8"}) {
        EXPECT_NE(messages.find(named), std::string::npos) << named;
    }
}

// The provider registers itself under the same constants, so only these literals catch a
// misspelt class that no real Windows would activate.
TEST(WinrtClassNames, AreThePlatformsRuntimeClassNames) {
    EXPECT_STREQ(kWatcherClass,
                 L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisementWatcher");
    EXPECT_STREQ(kDeviceClass, L"Windows.Devices.Bluetooth.BluetoothLEDevice");
    EXPECT_STREQ(kBufferClass, L"Windows.Storage.Streams.Buffer");
}

}  // namespace
