#include <gtest/gtest.h>

#include "blufi/blufi_codec.h"
#include "tools/simulator/simulated_base_unit.h"

namespace {

std::vector<uint8_t> PatternedPayload(size_t length) {
    std::vector<uint8_t> payload(length);
    for (size_t i = 0; i < length; ++i) {
        payload[i] = static_cast<uint8_t>((i * 37 + length) & 0xFF);
    }
    return payload;
}

// Every length from empty to several dozen frames, all on one connection so the numbering
// wraps several times on the way.
TEST(PayloadRoundTrip, EveryLengthUpTo600ArrivesByteForByte) {
    BlufiLinkState state;
    ResetBlufiLinkState(state);
    SimulatedBaseUnit unit;
    unit.Connect();
    for (size_t length = 0; length <= 600; ++length) {
        const auto payload = PatternedPayload(length);
        const auto frames = FragmentBlufiPayload(state, kBlufiTypeCustomData, payload);
        ASSERT_FALSE(frames.empty()) << length;
        for (const auto& frame : frames) {
            ASSERT_TRUE(unit.WriteFrame(frame)) << "length " << length;
        }
        const auto received = unit.ReceivedCustomData();
        ASSERT_EQ(received.size(), length + 1);
        ASSERT_EQ(received.back(), payload) << "length " << length;
    }
    EXPECT_TRUE(unit.ProtocolErrors().empty());
}

}  // namespace
