#include "tools/simulator/simulated_base_unit.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// The program's side of one connection: its codec state and what the unit notified.
struct Link {
    BlufiLinkState state;
    SimulatedBaseUnit unit;
    std::vector<Bytes> notifications;

    explicit Link(size_t networks, SimulatedMisbehaviour fault = {}, bool checksums = false) {
        SimulatedBaseUnitConfig config;
        for (size_t i = 0; i < networks; ++i) {
            config.networks.push_back({"Network " + std::to_string(i), static_cast<int8_t>(-40)});
        }
        config.misbehaviour = fault;
        config.checksums = checksums;
        unit.SetConfig(config);
        ResetBlufiLinkState(state);
        unit.SetNotificationSink([this](const Bytes& n) { notifications.push_back(n); });
        unit.Connect();
    }

    bool RequestWifiList() {
        return unit.WriteFrame(BuildBlufiFrame(state, kBlufiTypeWifiListRequest, {}, false));
    }

    // Feeds every notification to the codec: the completed messages and the first rejection.
    std::vector<BlufiMessage> Decode(std::wstring& firstError) {
        std::vector<BlufiMessage> messages;
        for (const auto& n : notifications) {
            BlufiMessage message;
            bool complete = false;
            std::wstring error;
            if (!ParseBlufiNotification(state, n, message, complete, error)) {
                firstError = firstError.empty() ? error : firstError;
            } else if (complete) {
                messages.push_back(message);
            }
        }
        notifications.clear();
        return messages;
    }
};

TEST(SimulatedBaseUnit, RefusesAFrameOutOfNumberingWithAnErrorReport) {
    Link link(0);
    BuildBlufiFrame(link.state, kBlufiTypeCustomData, {}, false);  // number 0 never sent
    EXPECT_FALSE(
        link.unit.WriteFrame(BuildBlufiFrame(link.state, kBlufiTypeCustomData, {'x'}, false)));
    ASSERT_EQ(link.unit.ProtocolErrors().size(), 1u);
    std::wstring error;
    const auto messages = link.Decode(error);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, 0x49);
    EXPECT_EQ(messages[0].data, (Bytes{0x00}));
    EXPECT_TRUE(link.unit.ReceivedCustomData().empty());
}

// A misbehaviour shows as the codec's first rejection; the list still completes after it.
TEST(SimulatedBaseUnit, AnswersTheWifiListInFragmentsAsTheCodecSeesThem) {
    const auto with = [](bool SimulatedMisbehaviour::*flag) {
        SimulatedMisbehaviour fault;
        fault.*flag = true;
        return fault;
    };
    const struct {
        SimulatedMisbehaviour fault;
        bool checksums;
        std::wstring codecError;
    } cases[] = {
        {{}, false, L""},
        {{}, true, L""},
        {with(&SimulatedMisbehaviour::repeatSequence), false,
         L"BLUFI receive sequence mismatch. Expected 0, received 255."},
        {with(&SimulatedMisbehaviour::truncateFrame), false, L"BLUFI notification is truncated."},
        {with(&SimulatedMisbehaviour::setEncryptedBit), false,
         L"Encrypted BLUFI notifications are not enabled for this configuration protocol."},
        {with(&SimulatedMisbehaviour::corruptChecksum), false, L"BLUFI checksum mismatch."},
    };
    for (const auto& c : cases) {
        Link link(12, c.fault, c.checksums);
        ASSERT_TRUE(link.RequestWifiList());
        EXPECT_GT(link.notifications.size(), 5u);
        std::wstring error;
        const auto messages = link.Decode(error);
        EXPECT_EQ(error, c.codecError);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].type, 0x45);
        if (c.codecError.empty()) {
            ASSERT_EQ(messages[0].data.size(), 10u * 11 + 2 * 12);  // "Network 10" on, 12 bytes
            EXPECT_EQ(Bytes(messages[0].data.begin(), messages[0].data.begin() + 13),
                      (Bytes{0x0A, 0xD8, 'N', 'e', 't', 'w', 'o', 'r', 'k', ' ', '0', 0x0A, 0xD8}));
        }
    }
}

}  // namespace
