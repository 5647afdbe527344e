#include "blufi/blufi_codec.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Payload(size_t length) {
    Bytes payload(length);
    std::iota(payload.begin(), payload.end(), uint8_t{0});
    return payload;
}

BlufiLinkState FreshState() {
    BlufiLinkState state;
    ResetBlufiLinkState(state);
    return state;
}

struct ParseResult {
    bool accepted;
    bool complete;
    BlufiMessage message;
    std::wstring error;
};

ParseResult Parse(BlufiLinkState& state, const Bytes& notification) {
    ParseResult result{};
    result.accepted =
        ParseBlufiNotification(state, notification, result.message, result.complete, result.error);
    return result;
}

TEST(BlufiBuildFrame, NumbersFromZeroAfterResetAndWrapsFrom255) {
    BlufiLinkState state = FreshState();
    EXPECT_EQ(BuildBlufiFrame(state, kBlufiTypeWifiListRequest, {}, false),
              (Bytes{0x24, 0x00, 0x00, 0x00}));
    for (int i = 1; i < 255; ++i) {
        BuildBlufiFrame(state, 0x24, {}, false);
    }
    EXPECT_EQ(BuildBlufiFrame(state, 0x24, {}, false)[2], 255);
    EXPECT_EQ(BuildBlufiFrame(state, 0x24, {}, false)[2], 0);
    EXPECT_EQ(BuildBlufiFrame(state, 0x24, {}, false)[2], 1);
}

TEST(BlufiBuild, RefusesWhatItsLengthFieldsCannotNameWithoutUsingANumber) {
    BlufiLinkState state = FreshState();
    EXPECT_EQ(BuildBlufiFrame(state, 0x4D, Payload(255), false).size(), 259u);
    EXPECT_TRUE(BuildBlufiFrame(state, 0x4D, Payload(256), false).empty());
    EXPECT_EQ(FragmentBlufiPayload(state, 0x4D, Payload(65535)).size(), 4681u);
    EXPECT_TRUE(FragmentBlufiPayload(state, 0x4D, Payload(65536)).empty());
    EXPECT_EQ(state.sendSequence, 4681u % 256);  // numbers 0 to 4681 used, no more
}

// Every frame but the last is a fragment of 14 payload bytes after the total length (not what
// remains); the last carries up to 16.
TEST(BlufiFragment, SplitsIntoFramesOfAtMostTwentyBytes) {
    const struct {
        size_t length;
        size_t frames;
        size_t lastData;
    } cases[] = {{0, 1, 0}, {16, 1, 16}, {17, 2, 3}, {30, 2, 16}, {31, 3, 3}, {300, 22, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        BlufiLinkState state = FreshState();
        const Bytes payload = Payload(c.length);
        const auto frames = FragmentBlufiPayload(state, kBlufiTypeCustomData, payload);
        ASSERT_EQ(frames.size(), c.frames);
        EXPECT_EQ(frames.back().size(), 4 + c.lastData);
        Bytes joined;
        for (size_t i = 0; i < frames.size(); ++i) {
            const Bytes& frame = frames[i];
            const bool last = i + 1 == frames.size();
            EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 4),
                      (Bytes{0x4D, static_cast<uint8_t>(last ? 0x00 : 0x10),
                             static_cast<uint8_t>(i), static_cast<uint8_t>(frame.size() - 4)}));
            if (!last) {
                EXPECT_EQ(frame.size(), 20u);
                EXPECT_EQ(frame[4] | frame[5] << 8, c.length);
            }
            joined.insert(joined.end(), frame.begin() + (last ? 4 : 6), frame.end());
        }
        EXPECT_EQ(joined, payload);
    }
}

TEST(BlufiChecksum, MatchesTheGenibusCheckValue) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    // CRC-16/GENIBUS catalogue check value for "123456789".
    EXPECT_EQ(BlufiChecksum(0, check, sizeof check), 0xD64E);
}

TEST(BlufiParse, AcceptsChecksummedFrameOnlyWhenTheCrcMatches) {
    // The last byte, after the checksum, is ignored.
    const Bytes good{0x45, 0x02, 0x00, 0x03, 'a', 'b', 'c', 0xF9, 0xE8, 0xEE};
    BlufiLinkState state = FreshState();
    EXPECT_EQ(Parse(state, good).message.data, (Bytes{'a', 'b', 'c'}));
    for (size_t corrupt : {4u, 7u, 8u}) {
        Bytes bad = good;
        bad[corrupt] ^= 0x01;
        state = FreshState();
        EXPECT_EQ(Parse(state, bad).error, L"BLUFI checksum mismatch.") << corrupt;
        EXPECT_EQ(state.receiveSequence & 0xFF, 0u) << "sequence consumed";
    }
}

// A rejection names its reason, consumes the number only once the header was in order, and
// leaves the fragment in progress alone.
TEST(BlufiParse, RejectsWithItsSentenceAndTheRightSequenceEffect) {
    const std::wstring kTruncated = L"BLUFI notification is truncated.";
    const struct {
        Bytes notification;
        std::wstring error;
        bool consumesSequence;
    } cases[] = {
        {{0x45, 0x00, 0x01}, L"BLUFI notification is shorter than the four-byte header.", false},
        {{0x45, 0x00, 0x05, 0x00},
         L"BLUFI receive sequence mismatch. Expected 1, received 5.",
         false},
        {{0x45, 0x00, 0x01, 0x03, 'a', 'b'}, kTruncated, true},
        {{0x45, 0x02, 0x01, 0x01, 'a', 0x00}, kTruncated, true},  // checksum missing
        {{0x45, 0x01, 0x01, 0x01, 'a'},
         L"Encrypted BLUFI notifications are not enabled for this configuration protocol.",
         true},
        {{0x45, 0x10, 0x01, 0x01, 'a'},
         L"BLUFI fragment does not contain its two-byte total-length field.",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.notification));
        BlufiLinkState state = FreshState();
        ASSERT_TRUE(Parse(state, {0x45, 0x10, 0x00, 0x03, 0x05, 0x00, 0x7A}).accepted);
        const ParseResult result = Parse(state, c.notification);
        EXPECT_FALSE(result.accepted);
        EXPECT_FALSE(result.complete);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(state.receiveSequence & 0xFF, c.consumesSequence ? 1u : 0u);
        EXPECT_EQ(state.reassembly, (Bytes{0x7A}));
        EXPECT_EQ(state.savedType, 0x45);
        EXPECT_EQ(state.savedFrameControl, 0x10);
    }
}

TEST(BlufiParse, ReceiveSequenceWrapsAfter255AndMismatchesNameItInDecimal) {
    BlufiLinkState state = FreshState();
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(Parse(state, {0x00, 0x00, static_cast<uint8_t>(i), 0x00}).accepted) << i;
    }
    EXPECT_TRUE(Parse(state, {0x00, 0x00, 0x00, 0x00}).accepted);
    state.receiveSequence = 254;
    EXPECT_EQ(Parse(state, {0x45, 0x00, 0x00, 0x00}).error,
              L"BLUFI receive sequence mismatch. Expected 255, received 0.");
}

TEST(BlufiParse, ReassemblesFragmentsWithTheirTypeAndTheFinalSequence) {
    BlufiLinkState state = FreshState();
    ASSERT_TRUE(Parse(state, {0x45, 0x10, 0x00, 0x04, 0x05, 0x00, 'H', 'e'}).accepted);
    ASSERT_TRUE(Parse(state, {0x45, 0x10, 0x01, 0x04, 0x05, 0x00, 'l', 'l'}).accepted);
    const ParseResult last = Parse(state, {0x4D, 0x00, 0x02, 0x01, 'o'});
    ASSERT_TRUE(last.complete);
    EXPECT_EQ(last.message.type, 0x45);
    EXPECT_EQ(last.message.frameControl, 0x10);
    EXPECT_EQ(last.message.sequence, 2);
    EXPECT_EQ(last.message.data, (Bytes{'H', 'e', 'l', 'l', 'o'}));
    EXPECT_TRUE(state.reassembly.empty());
    EXPECT_EQ(state.savedType, 0);
}

// An empty message, fragmented or not, completes and leaves no type behind for the next one.
TEST(BlufiParse, EmptyMessagesCompleteWithoutAStaleType) {
    BlufiLinkState state = FreshState();
    ASSERT_TRUE(Parse(state, {0x45, 0x10, 0x00, 0x02, 0x00, 0x00}).accepted);
    ASSERT_TRUE(Parse(state, {0x45, 0x00, 0x01, 0x00}).complete);
    const ParseResult error = Parse(state, {0x49, 0x00, 0x02, 0x00});
    ASSERT_TRUE(error.complete);
    EXPECT_EQ(error.message.type, 0x49);
    EXPECT_EQ(error.message.frameControl, 0x00);
    EXPECT_TRUE(error.message.data.empty());
}

TEST(BlufiReset, RestartsBothNumberingsAndDropsHalfAMessage) {
    BlufiLinkState state = FreshState();
    BuildBlufiFrame(state, 0x24, {}, false);
    ASSERT_TRUE(Parse(state, {0x45, 0x10, 0x00, 0x03, 0x09, 0x00, 'a'}).accepted);
    ResetBlufiLinkState(state);
    EXPECT_EQ(BuildBlufiFrame(state, 0x24, {}, false)[2], 0);
    const ParseResult result = Parse(state, {0x45, 0x00, 0x00, 0x01, 'b'});
    ASSERT_TRUE(result.complete);
    EXPECT_EQ(result.message.data, (Bytes{'b'}));
    EXPECT_EQ(result.message.frameControl, 0x00);
}

}  // namespace
