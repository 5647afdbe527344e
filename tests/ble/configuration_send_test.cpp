#include "tests/ble/ble_test_support.h"

#include <numeric>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class ConfigurationSend : public SimulatedLinkTest {
protected:
    void ExpectReceivedOnly(const std::string& payload) {
        EXPECT_EQ(SimulatedBle::ReceivedPayloads(kUnitAddress),
                  std::vector<Bytes>{Bytes(payload.begin(), payload.end())});
    }
};

std::string PayloadOf(size_t length) {
    std::string payload(length, ' ');
    std::iota(payload.begin(), payload.end(), 'a');
    return payload;
}

TEST_F(ConfigurationSend, SplitsIntoFramesTenMillisecondsApart) {
    const struct {
        size_t length;
        size_t frames;
    } cases[] = {{16, 1}, {17, 2}, {600, 43}};
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = Unit();
        setup.writeLatency = 15ms;
        ConnectTo(setup);
        const std::string payload = PayloadOf(c.length);
        const auto start = SimulatedBle::Now();
        error = L"stale";
        ASSERT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        EXPECT_TRUE(error.empty());
        ASSERT_EQ(SimulatedBle::WrittenFrames(kUnitAddress).size(), c.frames);
        const auto times = SimulatedBle::WriteTimes(kUnitAddress);
        for (size_t i = 1; i < times.size(); ++i) {
            EXPECT_EQ(times[i] - times[i - 1], 25ms);  // pause plus the next write's response
        }
        EXPECT_EQ(ElapsedSince(start), c.frames * 15ms + (c.frames - 1) * 10ms +
                                           std::chrono::milliseconds(kRefusalListenMs));
        ExpectReceivedOnly(payload);
    }
}

// Neither an empty payload nor an oversized frame reaches the link or uses up a number.
TEST_F(ConfigurationSend, RefusesWhatCannotBeSentBeforeWriting) {
    ConnectTo(Unit());
    EXPECT_FALSE(backend.SendConfiguration("", error));
    EXPECT_EQ(error, ble_text::kConfigurationEmpty);
    EXPECT_FALSE(backend.WriteBlufiFrame(Bytes(21, 0), error));
    EXPECT_EQ(error, ble_text::kFrameTooLong);
    EXPECT_TRUE(backend.SendConfiguration("x", error));
    const auto frames = SimulatedBle::WrittenFrames(kUnitAddress);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][2], 0);
}

// The unit never saw the frames after the failing one and would refuse every later frame, so
// the next exchange, a Wi-Fi scan or a send, connects afresh.
TEST_F(ConfigurationSend, AWriteFailingPartWayStopsTheSendAndTheNextExchangeConnectsAfresh) {
    const struct {
        SimulatedWriteFailure failure;
        std::wstring sentence;
    } cases[] = {
        {SimulatedWriteFailure::Status, ble_text::kWriteRejected},
        {SimulatedWriteFailure::Platform, L"Windows 10/11 BLUFI write failed (0x80650003)"},
        {SimulatedWriteFailure::Hang, L"Windows 10/11 BLUFI write failed (0x800705B4)"}};
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = HomeUnit();
        setup.failWriteNumber = 3;
        setup.writeFailure = c.failure;
        ConnectTo(setup);
        EXPECT_FALSE(backend.SendConfiguration(PayloadOf(60), error));  // five frames
        EXPECT_EQ(error, c.sentence);
        EXPECT_EQ(SimulatedBle::WrittenFrames(kUnitAddress).size(), 2u);
        EXPECT_TRUE(backend.IsConnected());
        ASSERT_TRUE(ScanWifi()) << Narrow(error);
        EXPECT_EQ(networks.size(), 1u);
        const std::string payload = PayloadOf(16);  // one frame, clear of a failing third
        EXPECT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        const auto frames = SimulatedBle::WrittenFrames(kUnitAddress);
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames[2], (Bytes{0x24, 0x00, 0x00, 0x00}));  // numbered afresh
        EXPECT_EQ(frames[3][2], 1);
        ExpectReceivedOnly(payload);
        EXPECT_TRUE(SimulatedBle::ProtocolErrors(kUnitAddress).empty());
    }
}

}  // namespace
