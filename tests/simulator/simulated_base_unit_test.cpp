#include "tools/simulator/simulated_base_unit.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Bytes = std::vector<uint8_t>;

struct Link {
    BlufiLinkState state;
    SimulatedBaseUnit unit;
    std::vector<Bytes> notifications;

    explicit Link(SimulatedBaseUnitConfig config = {}) : unit(std::move(config)) {
        ResetBlufiLinkState(state);
        unit.SetNotificationSink([this](const Bytes& n) { notifications.push_back(n); });
        unit.Connect();
    }

    bool RequestWifiList() {
        return unit.WriteFrame(BuildBlufiFrame(state, kBlufiTypeWifiListRequest, {}, false));
    }

    // Feeds every notification to the codec; returns the completed messages and the first
    // rejection, if any.
    std::vector<BlufiMessage> Decode(std::wstring* firstError = nullptr) {
        std::vector<BlufiMessage> messages;
        for (const auto& n : notifications) {
            BlufiMessage message;
            bool complete = false;
            std::wstring error;
            if (!ParseBlufiNotification(state, n, message, complete, error)) {
                if (firstError && firstError->empty()) *firstError = error;
            } else if (complete) {
                messages.push_back(message);
            }
        }
        notifications.clear();
        return messages;
    }
};

SimulatedBaseUnitConfig WithNetworks(size_t count) {
    SimulatedBaseUnitConfig config;
    for (size_t i = 0; i < count; ++i) {
        config.networks.push_back({"Network " + std::to_string(i), static_cast<int8_t>(-40 - i)});
    }
    return config;
}

TEST(SimulatedBaseUnit, AnswersTheWifiListRequestInFragmentsTheCodecReassembles) {
    for (const bool checksums : {false, true}) {
        SimulatedBaseUnitConfig config = WithNetworks(12);
        config.checksums = checksums;
        Link link(config);
        ASSERT_TRUE(link.RequestWifiList());
        EXPECT_GT(link.notifications.size(), 5u);
        std::wstring error;
        const auto messages = link.Decode(&error);
        EXPECT_EQ(error, L"");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].type, kBlufiTypeWifiList);
        EXPECT_EQ(messages[0].data, SimulatedBaseUnit::EncodeWifiList(config.networks));
    }
}

TEST(SimulatedBaseUnit, EncodesEachEntryAsLengthRssiAndSsid) {
    EXPECT_EQ(SimulatedBaseUnit::EncodeWifiList({{"Home", -60}, {"", -48}}),
              (Bytes{0x05, 0xC4, 'H', 'o', 'm', 'e', 0x01, 0xD0}));
}

TEST(SimulatedBaseUnit, RefusesAFrameOutOfNumberingAndReportsIt) {
    Link link;
    BuildBlufiFrame(link.state, kBlufiTypeCustomData, {}, false);  // number 0 never sent
    EXPECT_FALSE(link.unit.WriteFrame(BuildBlufiFrame(link.state, kBlufiTypeCustomData, {'x'},
                                                      false)));
    ASSERT_EQ(link.unit.ProtocolErrors().size(), 1u);
    const auto messages = link.Decode();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, kBlufiTypeErrorReport);
    EXPECT_EQ(messages[0].data, (Bytes{kSimErrorSequence}));
    EXPECT_TRUE(link.unit.ReceivedCustomData().empty());
}

TEST(SimulatedBaseUnit, RefusesFramesLongerThanTheWriteLimit) {
    Link link;
    EXPECT_FALSE(link.unit.WriteFrame(
        BuildBlufiFrame(link.state, kBlufiTypeCustomData, Bytes(17, 'a'), false)));
    EXPECT_EQ(link.unit.ProtocolErrors().size(), 1u);
}

TEST(SimulatedBaseUnit, NewConnectionRestartsBothNumberings) {
    Link link(WithNetworks(1));
    ASSERT_TRUE(link.RequestWifiList());
    link.Decode();
    link.unit.Connect();
    ResetBlufiLinkState(link.state);
    ASSERT_TRUE(link.RequestWifiList());
    std::wstring error;
    EXPECT_EQ(link.Decode(&error).size(), 1u);
    EXPECT_EQ(error, L"");
}

struct MisbehaviourCase {
    const char* name;
    SimulatedMisbehaviour fault;
    std::wstring codecError;  // first rejection the program's codec reports, if any
    std::vector<uint8_t> messageTypes;  // completed messages, in order
};

class SimulatedMisbehaviours : public testing::TestWithParam<MisbehaviourCase> {};

TEST_P(SimulatedMisbehaviours, ShowUpAsTheCodecSeesThem) {
    SimulatedBaseUnitConfig config = WithNetworks(3);
    config.misbehaviour = GetParam().fault;
    Link link(config);
    ASSERT_TRUE(link.RequestWifiList());
    std::wstring error;
    const auto messages = link.Decode(&error);
    EXPECT_EQ(error, GetParam().codecError);
    std::vector<uint8_t> types;
    for (const auto& m : messages) types.push_back(m.type);
    EXPECT_EQ(types, GetParam().messageTypes);
}

SimulatedMisbehaviour Fault(void (*set)(SimulatedMisbehaviour&)) {
    SimulatedMisbehaviour fault;
    set(fault);
    return fault;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimulatedMisbehaviours,
    testing::Values(
        MisbehaviourCase{"RepeatSequence",
                         Fault([](SimulatedMisbehaviour& f) { f.repeatSequence = true; }),
                         L"BLUFI receive sequence mismatch. Expected 0, received 255.",
                         {kBlufiTypeWifiList}},
        MisbehaviourCase{"Truncated",
                         Fault([](SimulatedMisbehaviour& f) { f.truncateFrame = true; }),
                         L"BLUFI notification is truncated.",
                         {kBlufiTypeWifiList}},
        MisbehaviourCase{"Encrypted",
                         Fault([](SimulatedMisbehaviour& f) { f.setEncryptedBit = true; }),
                         L"Encrypted BLUFI notifications are not enabled for this configuration "
                         L"protocol.",
                         {kBlufiTypeWifiList}},
        MisbehaviourCase{"CorruptChecksum",
                         Fault([](SimulatedMisbehaviour& f) { f.corruptChecksum = true; }),
                         L"BLUFI checksum mismatch.",
                         {kBlufiTypeWifiList}}),
    [](const testing::TestParamInfo<MisbehaviourCase>& info) { return info.param.name; });

TEST(SimulatedBaseUnit, CaptureHasOneLinePerFrameWithDirectionTimeAndHex) {
    Link link(WithNetworks(1));
    std::ostringstream capture;
    link.unit.SetCapture(&capture);
    ASSERT_TRUE(link.RequestWifiList());
    std::istringstream lines(capture.str());
    std::string direction, hex;
    long milliseconds = -1;
    lines >> direction >> milliseconds;
    std::getline(lines, hex);
    EXPECT_EQ(direction, "in");
    EXPECT_GE(milliseconds, 0);
    EXPECT_EQ(hex, " 24 00 00 00");
    lines >> direction;
    EXPECT_EQ(direction, "out");
}

}  // namespace
