#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Byte-level codec for BluFi frames: header (type, frame control, sequence, data length), data,
// optional CRC-16. Outgoing frames are never encrypted, checksummed or acknowledged; incoming
// notifications are checked and fragmented messages reassembled. Not thread-safe: one state per
// connection, used by one operation at a time.

constexpr uint8_t kBlufiTypeWifiListRequest = 0x24;  // control frame, subtype 0x09
constexpr uint8_t kBlufiTypeCustomData = 0x4D;       // data frame, subtype 0x13
constexpr uint8_t kBlufiTypeWifiList = 0x45;         // data frame, subtype 0x11
constexpr uint8_t kBlufiTypeErrorReport = 0x49;      // data frame, subtype 0x12

constexpr uint8_t kBlufiFcEncrypted = 0x01;
constexpr uint8_t kBlufiFcChecksum = 0x02;
constexpr uint8_t kBlufiFcDirection = 0x04;
constexpr uint8_t kBlufiFcAckRequested = 0x08;
constexpr uint8_t kBlufiFcFragment = 0x10;

constexpr size_t kBlufiHeaderSize = 4;
constexpr size_t kBlufiMaxFrameSize = 20;  // the GATT write limit
constexpr size_t kBlufiMaxFrameData = 255;
constexpr size_t kBlufiMaxPayload = 65535;  // what the two-byte total-length field can name

struct BlufiLinkState {
    uint32_t sendSequence = 0xFFFFFFFFu;     // number of the last frame built
    uint32_t receiveSequence = 0xFFFFFFFFu;  // number of the last notification accepted
    std::vector<uint8_t> reassembly;         // data of the fragments of the message arriving
    uint8_t savedType = 0;                   // type of the most recent fragment, 0 when none
    uint8_t savedFrameControl = 0;           // its frame control, 0 when none
};

struct BlufiMessage {
    uint8_t type = 0;
    uint8_t frameControl = 0;
    uint8_t sequence = 0;
    std::vector<uint8_t> data;
};

void ResetBlufiLinkState(BlufiLinkState& state);

// Empty result (and no sequence number used) when data holds more than 255 bytes.
std::vector<uint8_t> BuildBlufiFrame(BlufiLinkState& state, uint8_t type,
                                     const std::vector<uint8_t>& data, bool fragment);

// Frames of at most 20 bytes in sending order. Empty result, state untouched, when the payload
// is longer than its total-length field can express.
std::vector<std::vector<uint8_t>> FragmentBlufiPayload(BlufiLinkState& state, uint8_t type,
                                                       const std::vector<uint8_t>& payload);

// True when accepted (complete tells whether a message was finished and is in message); false
// with errorText set when rejected.
bool ParseBlufiNotification(BlufiLinkState& state, const std::vector<uint8_t>& notification,
                            BlufiMessage& message, bool& complete, std::wstring& errorText);

uint16_t BlufiChecksum(uint16_t seed, const uint8_t* bytes, size_t length);

// CRC of a frame as carried after its data: over the sequence byte, the length byte and data.
uint16_t BlufiFrameChecksum(uint8_t sequence, const uint8_t* data, uint8_t length);
