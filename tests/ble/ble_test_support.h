#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ble/flat_text.h"
#include "ble/ov_ble.h"
#include "ble/windows10_backend.h"
#include "common/text_conversion.h"
#include "tools/simulator/simulated_flat_ble.h"

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// Every link test runs against a freshly installed simulated world in virtual time.
class SimulatedLinkTest : public ::testing::Test {
protected:
    static constexpr uint64_t kUnitAddress = 0xA1B2C3D4E5F6u;

    void SetUp() override {
        SimulatedBle::Reset();
        SimulatedBle::UseVirtualTime(true);
    }
    void TearDown() override { SimulatedBle::Reset(); }

    static SimulatedUnitSetup Unit(uint64_t address = kUnitAddress, std::wstring name = L"OV Base",
                                   std::vector<int16_t> readings = {-60}) {
        SimulatedUnitSetup setup;
        setup.address = address;
        setup.name = std::move(name);
        setup.rssiReadings = std::move(readings);
        return setup;
    }
    // A unit that sees one network, "Home".
    static SimulatedUnitSetup HomeUnit() {
        SimulatedUnitSetup setup = Unit();
        setup.unit.networks = {{"Home", -50}};
        return setup;
    }
    // A unit that answers nothing by itself; the test sends what it should say.
    static SimulatedUnitSetup SilentUnit() {
        SimulatedUnitSetup setup = Unit();
        setup.unit.misbehaviour.silent = true;
        return setup;
    }

    static std::chrono::milliseconds ElapsedSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(SimulatedBle::Now() - start);
    }

    void ConnectTo(const SimulatedUnitSetup& setup) {
        SimulatedBle::Install({setup});
        ASSERT_TRUE(backend.Connect(setup.address, error)) << Narrow(error);
    }

    bool ScanUnits() { return backend.ScanBaseUnits(units, error); }
    bool ScanWifi() { return backend.ScanWifiNetworks(networks, error); }

    static std::string Narrow(const std::wstring& text) { return Utf16ToUtf8(text); }

    Windows10Backend backend;
    std::wstring error = L"stale";
    std::vector<BaseUnitInfo> units;
    std::vector<WifiNetwork> networks;
};
