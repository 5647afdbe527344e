#include "blufi/blufi_codec.h"

void ResetBlufiLinkState(BlufiLinkState& state) {
    state.sendSequence = 0xFFFFFFFFu;
    state.receiveSequence = 0xFFFFFFFFu;
    state.reassembly.clear();  // keeps its storage for the next message
    state.savedType = 0;
    state.savedFrameControl = 0;
}

std::vector<uint8_t> BuildBlufiFrame(BlufiLinkState& state, uint8_t type,
                                     const std::vector<uint8_t>& data, bool fragment) {
    if (data.size() > kBlufiMaxFrameData) {
        return {};
    }
    state.sendSequence = (state.sendSequence + 1) & 0xFFu;
    std::vector<uint8_t> frame;
    frame.reserve(kBlufiHeaderSize + data.size());
    frame.push_back(type);
    frame.push_back(fragment ? kBlufiFcFragment : 0x00);
    frame.push_back(static_cast<uint8_t>(state.sendSequence));
    frame.push_back(static_cast<uint8_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

std::vector<std::vector<uint8_t>> FragmentBlufiPayload(BlufiLinkState& state, uint8_t type,
                                                       const std::vector<uint8_t>& payload) {
    constexpr size_t kFrameData = kBlufiMaxFrameSize - kBlufiHeaderSize;  // 16
    constexpr size_t kFragmentData = kFrameData - 2;                       // 14
    std::vector<std::vector<uint8_t>> frames;
    const size_t length = payload.size();
    if (length > kBlufiMaxPayload) {
        return frames;
    }
    if (length == 0) {
        frames.push_back(BuildBlufiFrame(state, type, {}, false));
        return frames;
    }
    frames.reserve(length <= kFrameData ? 1 : 1 + (length - kFrameData + kFragmentData - 1) /
                                                      kFragmentData);
    size_t offset = 0;
    while (offset < length) {
        const size_t remaining = length - offset;
        if (remaining <= kFrameData) {
            std::vector<uint8_t> data(payload.begin() + static_cast<std::ptrdiff_t>(offset),
                                      payload.end());
            frames.push_back(BuildBlufiFrame(state, type, data, false));
            offset = length;
        } else {
            std::vector<uint8_t> data;
            data.reserve(kFrameData);
            data.push_back(static_cast<uint8_t>(length & 0xFF));
            data.push_back(static_cast<uint8_t>((length >> 8) & 0xFF));
            const auto begin = payload.begin() + static_cast<std::ptrdiff_t>(offset);
            data.insert(data.end(), begin, begin + static_cast<std::ptrdiff_t>(kFragmentData));
            frames.push_back(BuildBlufiFrame(state, type, data, true));
            offset += kFragmentData;
        }
    }
    return frames;
}

uint16_t BlufiChecksum(uint16_t seed, const uint8_t* bytes, size_t length) {
    uint16_t crc = static_cast<uint16_t>(~seed);
    for (size_t i = 0; i < length; ++i) {
        crc = static_cast<uint16_t>(crc ^ (static_cast<uint16_t>(bytes[i]) << 8));
        for (int bit = 0; bit < 8; ++bit) {
            if (crc & 0x8000) {
                crc = static_cast<uint16_t>((crc << 1) ^ 0x1021);
            } else {
                crc = static_cast<uint16_t>(crc << 1);
            }
        }
    }
    return static_cast<uint16_t>(~crc);
}

uint16_t BlufiFrameChecksum(uint8_t sequence, const uint8_t* data, uint8_t length) {
    const uint8_t header[2] = {sequence, length};
    const uint16_t headerCrc = BlufiChecksum(0, header, sizeof header);
    return BlufiChecksum(headerCrc, data, length);
}

bool ParseBlufiNotification(BlufiLinkState& state, const std::vector<uint8_t>& notification,
                            BlufiMessage& message, bool& complete, std::wstring& errorText) {
    complete = false;
    if (notification.size() < kBlufiHeaderSize) {
        errorText = L"BLUFI notification is shorter than the four-byte header.";
        return false;
    }
    const uint8_t expected = static_cast<uint8_t>((state.receiveSequence + 1) & 0xFFu);
    const uint8_t sequence = notification[2];
    if (sequence != expected) {
        errorText = L"BLUFI receive sequence mismatch. Expected " + std::to_wstring(expected) +
                    L", received " + std::to_wstring(sequence) + L".";
        return false;
    }
    state.receiveSequence = sequence;  // consumed, whatever follows

    const uint8_t type = notification[0];
    const uint8_t frameControl = notification[1];
    const uint8_t length = notification[3];
    const bool hasChecksum = (frameControl & kBlufiFcChecksum) != 0;
    if (notification.size() < kBlufiHeaderSize + length + (hasChecksum ? 2u : 0u)) {
        errorText = L"BLUFI notification is truncated.";
        return false;
    }
    if (frameControl & kBlufiFcEncrypted) {
        errorText = L"Encrypted BLUFI notifications are not enabled for this configuration protocol.";
        return false;
    }
    const uint8_t* data = notification.data() + kBlufiHeaderSize;
    if (hasChecksum) {
        const uint16_t carried = static_cast<uint16_t>(data[length] | (data[length + 1] << 8));
        if (BlufiFrameChecksum(sequence, data, length) != carried) {
            errorText = L"BLUFI checksum mismatch.";
            return false;
        }
    }
    const bool fragment = (frameControl & kBlufiFcFragment) != 0;
    size_t skip = 0;
    if (fragment) {
        if (length < 2) {
            errorText = L"BLUFI fragment does not contain its two-byte total-length field.";
            return false;
        }
        state.savedType = type;
        state.savedFrameControl = frameControl;
        skip = 2;  // the total length is never compared with what arrives
    }
    state.reassembly.insert(state.reassembly.end(), data + skip, data + length);
    if (fragment) {
        return true;
    }

    if (state.reassembly.empty()) {
        message.type = type;
        message.frameControl = frameControl;
        message.data.clear();
    } else {
        message.type = state.savedType != 0 ? state.savedType : type;
        message.frameControl = state.savedFrameControl != 0 ? state.savedFrameControl : frameControl;
        message.data.clear();
        message.data.swap(state.reassembly);
    }
    message.sequence = sequence;
    // Cleared even when the message ends up empty, so a stale fragment type can never relabel
    // a later message.
    state.savedType = 0;
    state.savedFrameControl = 0;
    complete = true;
    return true;
}
