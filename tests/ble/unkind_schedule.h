#pragma once

// Seeded schedules of what a real radio does to the program (lingering links, drops at every
// step, lost notifications, error reports, the radio switched off), run against the backend
// over either flat layer. Whenever the wizard would show "Configuration Sent" the unit holds
// exactly that configuration; once the faults stop, the next attempt succeeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ble/windows10_backend.h"
#include "tools/simulator/simulated_flat_ble.h"

// How a test reaches the world behind the flat layer.
struct UnkindWorld {
    std::function<void(std::vector<SimulatedUnitSetup>)> install;
    std::function<void()> dropLink;
    std::function<void(const SimulatedLinkFaults&)> setFaults;
    std::function<void(bool)> setRadioOff;
    std::function<void(std::chrono::milliseconds)> pass;
    std::function<std::vector<std::vector<uint8_t>>()> received;
};

inline void RunUnkindSchedule(unsigned seed, uint64_t address, const UnkindWorld& world) {
    SCOPED_TRACE("schedule seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&](int below) {
        return static_cast<int>(random() % static_cast<unsigned>(below));
    };
    SimulatedUnitSetup setup;
    setup.address = address;
    setup.unit.networks = {{"Home", -50}};
    setup.unit.notificationDataLimit = static_cast<size_t>(3 + pick(14));
    setup.linger = std::chrono::milliseconds(pick(8000));  // within the link's bound
    setup.writeLatency = std::chrono::milliseconds(pick(30));
    world.install({setup});
    Windows10Backend backend;
    std::wstring error;
    const auto said = [&] { return std::string(error.begin(), error.end()); };  // ASCII
    ASSERT_TRUE(backend.Connect(address, error)) << said();
    const auto last = [&] {
        const auto received = world.received();
        return received.empty() ? std::string()
                                : std::string(received.back().begin(), received.back().end());
    };
    std::vector<std::string> sent;
    std::vector<WifiNetwork> networks;
    for (int step = 0; step < 8; ++step) {
        switch (pick(7)) {
            case 0:
                world.dropLink();
                break;
            case 1:
                world.setFaults(
                    {pick(4), pick(4), pick(5), std::chrono::milliseconds(pick(2) * pick(5000))});
                break;
            case 2:
                world.setRadioOff(pick(4) == 0);
                break;
            case 3:
                world.pass(std::chrono::milliseconds(pick(10000)));
                break;
            case 4:
                backend.ScanWifiNetworks(networks, error);
                break;
            default: {
                const std::string payload = "configuration " + std::to_string(step) +
                                            std::string(static_cast<size_t>(pick(60)), '*');
                if (!backend.IsConnected()) {
                    backend.Connect(address, error);
                }
                sent.push_back(payload);
                if (backend.SendConfiguration(payload, error)) {
                    ASSERT_EQ(last(), payload);
                } else {
                    ASSERT_FALSE(error.empty());
                }
            }
        }
    }
    for (const auto& received : world.received()) {
        EXPECT_NE(
            std::find(sent.begin(), sent.end(), std::string(received.begin(), received.end())),
            sent.end());
    }
    world.setFaults({});
    world.setRadioOff(false);
    if (!backend.IsConnected()) {
        ASSERT_TRUE(backend.Connect(address, error)) << said();
    }
    ASSERT_TRUE(backend.SendConfiguration("the configuration after the faults", error)) << said();
    EXPECT_EQ(last(), "the configuration after the faults");
    ASSERT_TRUE(backend.ScanWifiNetworks(networks, error)) << said();
    ASSERT_EQ(networks.size(), 1u);
    backend.Disconnect();
}
