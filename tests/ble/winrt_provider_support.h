#pragma once

// The shipping flat layer over the test provider of the Windows Runtime classes: the provider
// registered in this suite's own Wine prefix, a fresh world per test, and at the end of every
// test the reference ledger: nothing the provider made is still held, no handler reference is
// left with the provider, nothing was released once too often or used after its release.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ble/ble_clock.h"
#include "ble/flat_text.h"
#include "ble/ov_ble.h"
#include "common/text_conversion.h"
#include "tools/winrt_provider/winrt_provider.h"

// The steady clock run faster by a whole factor, shared by the link and the provider, so the
// link's 4-second scan and 60-second bound take a fraction of that in real time.
class FastBleClock final : public BleClock {
public:
    explicit FastBleClock(int factor) : factor_(factor) {}

    TimePoint Now() override {
        return origin_ + (std::chrono::steady_clock::now() - origin_) * factor_;
    }
    void SleepUntil(TimePoint until) override {
        for (TimePoint now = Now(); now < until; now = Now()) {
            std::this_thread::sleep_for(Real(until - now));
        }
    }
    void WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override {
        signal.wait_for(lock, Real(deadline - Now()));
    }

private:
    // At least a millisecond, so a sleep loop never spins; at most a day.
    std::chrono::milliseconds Real(TimePoint::duration span) const {
        return std::clamp(std::chrono::ceil<std::chrono::milliseconds>(span / factor_),
                          std::chrono::milliseconds(1), std::chrono::milliseconds(86400000));
    }

    const int factor_;
    const TimePoint origin_ = std::chrono::steady_clock::now();
};

class ProviderTest : public ::testing::Test {
protected:
    static constexpr uint64_t kUnitAddress = 0xA4CF12D0E101ull;

    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        std::wstring error;
        ASSERT_TRUE(winrt_provider::RegisterClasses(error)) << Narrow(error);
    }

    void SetUp() override {
        winrt_provider::Reset();
        SetFaults([](winrt_provider::PlatformFaults&) {});
    }

    void TearDown() override {
        OvBleDisconnect();
        ExpectCleanLedger();
        winrt_provider::Reset();
        winrt_provider::UseClock(nullptr);
        SetBleClock(nullptr);
    }

    // Both the link and the provider on a clock factor times as fast as real time.
    void UseFastClock(int factor) {
        clock_ = std::make_unique<FastBleClock>(factor);
        SetBleClock(clock_.get());
        winrt_provider::UseClock(clock_.get());
    }

    static void SetFaults(const std::function<void(winrt_provider::PlatformFaults&)>& change) {
        winrt_provider::PlatformFaults faults;
        faults.advertisementWindow = std::chrono::milliseconds(1000);
        change(faults);
        winrt_provider::SetFaults(faults);
    }

    static void ExpectCleanLedger(const std::string& context = "") {
        EXPECT_TRUE(winrt_provider::Settle()) << context;
        const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
        std::string kinds;
        for (const std::string& kind : counts.liveKinds) {
            kinds += " " + kind;
        }
        EXPECT_EQ(counts.liveObjects, 0) << context << " still held:" << kinds;
        EXPECT_EQ(counts.heldDelegates, 0) << context << " handlers left with the provider";
        EXPECT_EQ(counts.overReleases, 0) << context;
        EXPECT_EQ(counts.callsOnReleased, 0) << context;
        EXPECT_EQ(counts.unknownTokens, 0) << context;
    }

    static SimulatedUnitSetup HomeUnit(uint64_t address = kUnitAddress,
                                       std::wstring name = L"OV-Living Room") {
        SimulatedUnitSetup setup;
        setup.address = address;
        setup.name = std::move(name);
        setup.rssiReadings = {-52, -47, -49};
        setup.unit.networks = {{"Tervane Home", -41}, {"Caf\xC3\xA9 Corner", -70}};
        return setup;
    }

    // The flat calls with this test's error buffer; Said() is their last sentence.
    int Connect(uint64_t address = kUnitAddress) {
        return OvBleConnect(address, text_, kOvBleErrorCapacity);
    }
    int Scan(int& count) {
        OV_BLE_SCAN_DEVICE devices[8];
        count = 0;
        return OvBleScan(devices, 8, &count, text_, kOvBleErrorCapacity);
    }
    int WriteWifiListRequest() {
        const uint8_t frame[4] = {0x24, 0x00, 0x00, 0x00};
        return OvBleWrite(frame, 4, text_);
    }
    int Wait(uint32_t timeoutMs, int* length = nullptr) {
        uint8_t buffer[kOvBleNotificationCapacity];
        int stored = 0;
        return OvBleWaitNotification(buffer, length != nullptr ? length : &stored, timeoutMs,
                                     text_);
    }
    std::wstring Said() const { return TextOfBuffer(text_, kOvBleErrorCapacity); }

    static std::string Narrow(const std::wstring& text) { return Utf16ToUtf8(text); }

private:
    std::unique_ptr<FastBleClock> clock_;
    wchar_t text_[kOvBleErrorCapacity] = {};
};
