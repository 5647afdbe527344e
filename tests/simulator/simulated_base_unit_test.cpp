#include "tools/simulator/simulated_base_unit.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

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
        SimulatedBaseUnitConfig config;
        for (int i = 0; i < 12; ++i) {
            config.networks.push_back({"Network " + std::to_string(i), static_cast<int8_t>(-40)});
        }
        config.misbehaviour = c.fault;
        config.checksums = c.checksums;
        SimulatedBaseUnit unit;
        unit.SetConfig(config);
        std::vector<Bytes> notifications;
        unit.SetNotificationSink([&](const Bytes& n) { notifications.push_back(n); });
        unit.Connect();
        BlufiLinkState state;
        ResetBlufiLinkState(state);
        ASSERT_TRUE(unit.WriteFrame(BuildBlufiFrame(state, kBlufiTypeWifiListRequest, {}, false)));
        EXPECT_GT(notifications.size(), 5u);
        std::wstring error;  // the first rejection
        std::vector<BlufiMessage> messages;
        for (const auto& n : notifications) {
            BlufiMessage message;
            bool complete = false;
            std::wstring rejection;
            if (!ParseBlufiNotification(state, n, message, complete, rejection)) {
                error = error.empty() ? rejection : error;
            } else if (complete) {
                messages.push_back(message);
            }
        }
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
