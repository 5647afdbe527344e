#include "tests/ble/ble_test_support.h"

#include "ble/flat_text.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class ConfigurationSend : public SimulatedLinkTest {
protected:
    void ExpectReceivedOnly(const std::string& payload, uint64_t address = kUnitAddress) {
        const auto received = SimulatedBle::ReceivedPayloads(address);
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0], Bytes(payload.begin(), payload.end()));
    }
};

std::string PayloadOf(size_t length) {
    std::string payload;
    for (size_t i = 0; i < length; ++i) {
        payload += static_cast<char>('a' + i % 26);
    }
    return payload;
}

TEST_F(ConfigurationSend, SplitsIntoFramesTenMillisecondsApart) {
    const struct {
        size_t length;
        size_t frames;
    } cases[] = {{16, 1}, {17, 2}, {100, 7}, {600, 43}};
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

TEST_F(ConfigurationSend, EmptyPayloadWritesNothingAndUsesNoNumber) {
    ConnectTo(Unit());
    EXPECT_FALSE(backend.SendConfiguration("", error));
    EXPECT_EQ(error, ble_text::kConfigurationEmpty);
    EXPECT_TRUE(backend.SendConfiguration("x", error));
    const auto frames = SimulatedBle::WrittenFrames(kUnitAddress);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][2], 0);
}

TEST_F(ConfigurationSend, AWriteFailingPartWayStopsTheSendAndTheRetryConnectsAfresh) {
    const struct {
        SimulatedWriteFailure failure;
        std::wstring expected;
    } cases[] = {
        {SimulatedWriteFailure::Status, ble_text::kWriteRejected},
        {SimulatedWriteFailure::Platform, L"Windows 10/11 BLUFI write failed (0x80650003)"},
        {SimulatedWriteFailure::Hang, L"Windows 10/11 BLUFI write failed (0x800705B4)"},
    };
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = Unit();
        setup.failWriteNumber = 3;
        setup.writeFailure = c.failure;
        ConnectTo(setup);
        EXPECT_FALSE(backend.SendConfiguration(PayloadOf(60), error));  // five frames
        EXPECT_EQ(error, c.expected);
        EXPECT_EQ(SimulatedBle::WrittenFrames(kUnitAddress).size(), 2u);
        EXPECT_TRUE(backend.IsConnected());
        // The unit never saw frames three to five; sending on would be refused frame by frame.
        const std::string payload = PayloadOf(30);  // two frames, clear of the failing third
        EXPECT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        const auto frames = SimulatedBle::WrittenFrames(kUnitAddress);
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames[2][2], 0);  // numbered from the start of a new connection
        ExpectReceivedOnly(payload);
        EXPECT_TRUE(SimulatedBle::ProtocolErrors(kUnitAddress).empty());
    }
}

TEST_F(ConfigurationSend, AWifiScanAfterAFailedSendStillGetsTheList) {
    SimulatedUnitSetup setup = HomeUnit();
    setup.failWriteNumber = 2;  // the second of three frames
    ConnectTo(setup);
    EXPECT_FALSE(backend.SendConfiguration(PayloadOf(40), error));
    EXPECT_TRUE(ScanWifi()) << Narrow(error);
    ASSERT_EQ(networks.size(), 1u);
    EXPECT_EQ(networks[0].ssid, L"Home");
}

TEST_F(ConfigurationSend, ThreeUnitsEachReceiveTheirOwnPayload) {
    SimulatedBle::Install({Unit(1, L"OV One"), Unit(2, L"OV Two"), Unit(3, L"OV Three")});
    const auto payloadFor = [](uint64_t address) {
        return "username=\"u" + std::to_string(address) + "\"";
    };
    for (uint64_t address : {1u, 2u, 3u}) {
        ASSERT_TRUE(backend.Connect(address, error));
        ASSERT_TRUE(backend.SendConfiguration(payloadFor(address), error));
    }
    for (uint64_t address : {1u, 2u, 3u}) {
        ExpectReceivedOnly(payloadFor(address), address);
    }
}

TEST_F(ConfigurationSend, FramesLongerThanTheWriteLimitNeverReachTheLink) {
    ConnectTo(Unit());
    EXPECT_FALSE(backend.WriteBlufiFrame(Bytes(21, 0), error));
    EXPECT_EQ(error, ble_text::kFrameTooLong);
    EXPECT_TRUE(SimulatedBle::WrittenFrames(kUnitAddress).empty());
}

}  // namespace
