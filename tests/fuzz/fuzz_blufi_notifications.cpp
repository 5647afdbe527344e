// Feeds a sequence of notifications to the codec the way the link would, and checks what must
// hold whatever arrives; then sends the input as a payload and reassembles it.

#include "blufi/blufi_codec.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

void ParseSequence(const uint8_t* data, size_t size) {
    BlufiLinkState state;
    ResetBlufiLinkState(state);
    const auto expected = [&](uint8_t) { return static_cast<uint8_t>(state.receiveSequence + 1); };
    ForEachNotification(data, size, 40, expected, [&](const std::vector<uint8_t>& notification) {
        const uint32_t before = state.receiveSequence & 0xFF;
        const size_t bufferedBefore = state.reassembly.size();
        BlufiMessage message;
        bool complete = true;
        std::wstring error;
        if (!ParseBlufiNotification(state, notification, message, complete, error)) {
            Check(!complete && !error.empty());
            Check(state.reassembly.size() == bufferedBefore);
            if (notification.size() < 4 || notification[2] != ((before + 1) & 0xFF)) {
                Check((state.receiveSequence & 0xFF) == before);
            }
            return;
        }
        Check((state.receiveSequence & 0xFF) == notification[2]);
        if (complete) {
            Check(message.sequence == notification[2]);
            Check(state.reassembly.empty() && state.savedType == 0);
        }
    });
}

void RoundTrip(const uint8_t* data, size_t size) {
    BlufiLinkState sender;
    BlufiLinkState receiver;
    ResetBlufiLinkState(sender);
    ResetBlufiLinkState(receiver);
    const std::vector<uint8_t> payload(data, data + size);
    const auto frames = FragmentBlufiPayload(sender, kBlufiTypeCustomData, payload);
    Check(!frames.empty());
    for (size_t i = 0; i < frames.size(); ++i) {
        Check(frames[i].size() <= kBlufiMaxFrameSize);
        BlufiMessage message;
        bool complete = false;
        std::wstring error;
        Check(ParseBlufiNotification(receiver, frames[i], message, complete, error));
        Check(complete == (i + 1 == frames.size()));
        Check(!complete || (message.data == payload && message.type == kBlufiTypeCustomData));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseSequence(data, size);
    RoundTrip(data, size);
    return 0;
}
