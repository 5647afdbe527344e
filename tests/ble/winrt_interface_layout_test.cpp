// The Windows Runtime calls our interfaces by vtable position, and a method in the wrong slot
// only shows on real Windows. Every declaration is held against the table generated from the
// platform's ABI listing (ble/winrt_slot_table.h): each declared method at the listed slot,
// no listed slot skipped before the last declared one, nothing declared past the listing.
// g++ encodes a pointer to a virtual member as 1 + its byte offset in the vtable.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

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

// What is wrong with Interface as a declaration of the listed interface `listed`.
template <typename Interface>
std::vector<std::string> LayoutProblems(const std::string& listed) {
    ptrdiff_t first = -1;
    ptrdiff_t last = -1;
    std::map<ptrdiff_t, std::pair<std::string, ptrdiff_t>> slots;  // listed slot: name, declared
#define WINRT_INTERFACE(Declaration, Constant, iid, firstSlot, lastSlot) \
    if (listed == #Declaration) {                                        \
        first = firstSlot;                                               \
        last = lastSlot;                                                 \
    }
#define WINRT_METHOD(Declaration, name, slot)                   \
    if (listed == #Declaration) {                               \
        slots[slot] = {#name, SlotOf_##name<Interface>::Get()}; \
    }
    WINRT_SLOT_TABLE(WINRT_INTERFACE, WINRT_METHOD)
#undef WINRT_INTERFACE
#undef WINRT_METHOD
    std::vector<std::string> problems;
    if (first < 0) {
        return {"the listing has no " + listed};
    }
    const ptrdiff_t base = std::is_base_of<IInspectable, Interface>::value ? 6 : 3;
    const ptrdiff_t end = SlotCount<Interface>();
    if (first != base) {
        problems.push_back("own methods begin at slot " + std::to_string(base) +
                           ", the listing's at " + std::to_string(first));
    }
    if (end - 1 > last) {
        problems.push_back("declares slots up to " + std::to_string(end - 1) +
                           ", the listing ends at " + std::to_string(last));
    }
    for (const auto& [slot, method] : slots) {
        const bool shouldBeDeclared = slot < end;
        if (method.second != (shouldBeDeclared ? slot : -1)) {
            problems.push_back(method.first + " is listed at slot " + std::to_string(slot) +
                               (method.second < 0
                                    ? ", not declared"
                                    : ", declared at " + std::to_string(method.second)));
        }
    }
    return problems;
}

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) {
        text += "\n  " + problem;
    }
    return text;
}

TEST(WinrtInterfaceLayout, EveryDeclarationMatchesTheListedSlots) {
#define WINRT_INTERFACE(Declaration, Constant, iid, firstSlot, lastSlot) \
    EXPECT_EQ(Joined(LayoutProblems<Declaration>(#Declaration)), "") << #Declaration;
#define WINRT_METHOD(Declaration, name, slot)
    WINRT_SLOT_TABLE(WINRT_INTERFACE, WINRT_METHOD)
#undef WINRT_INTERFACE
#undef WINRT_METHOD
}

std::string Lower(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

TEST(WinrtInterfaceLayout, EveryInterfaceIdMatchesTheListing) {
#define WINRT_INTERFACE(Declaration, Constant, iid, firstSlot, lastSlot) \
    EXPECT_EQ(Lower(Constant), iid) << #Declaration;
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
    EXPECT_EQ(LayoutProblems<UnknownBasedResult>("IGattDeviceServicesResult"),
              (std::vector<std::string>{"own methods begin at slot 3, the listing's at 6",
                                        "get_Status is listed at slot 6, declared at 3",
                                        "get_ProtocolError is listed at slot 7, declared at 4",
                                        "get_Services is listed at slot 8, declared at 5"}));
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
