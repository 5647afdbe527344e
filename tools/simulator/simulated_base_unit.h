#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "blufi/blufi_codec.h"

// A base unit as seen through its BluFi characteristics: it takes the frames written to FF01,
// checks their numbering the way the firmware does, reassembles fragmented messages, answers
// the Wi-Fi list request and records every custom-data message. Its notifications (for FF02)
// go to a callback, which is called without the unit's lock held, on the writer's thread; a
// transport that wants them on another thread queues them there.
//
// Thread-safe. Never linked into the shipping program.

struct SimulatedWifiNetwork {
    std::string ssid;  // raw bytes as the radio reports them (UTF-8, or not)
    int8_t rssi = -60;
};

// How the unit misbehaves when it answers a Wi-Fi list request. Several may be combined.
struct SimulatedMisbehaviour {
    bool skipSequence = false;         // the answer's first frame jumps one number ahead
    bool repeatSequence = false;       // the answer's first frame reuses the last number sent
    bool truncateFrame = false;        // the answer's first frame loses its last data byte
    bool setEncryptedBit = false;      // the answer claims to be encrypted
    bool corruptChecksum = false;      // the answer's checksum is wrong (implies checksums)
    bool answerWithErrorReport = false;  // a BluFi error report instead of the list
    bool silent = false;               // no answer at all
    int unrelatedFramesFirst = 0;      // frames of other types sent ahead of the answer
};

struct SimulatedBaseUnitConfig {
    std::vector<SimulatedWifiNetwork> networks;
    bool checksums = false;            // append a CRC to every notification
    size_t notificationDataLimit = 16;  // data bytes per notification; longer answers fragment
    SimulatedMisbehaviour misbehaviour;
};

// BluFi error codes the unit reports (data byte of a type 0x49 message).
constexpr uint8_t kSimErrorSequence = 0x00;
constexpr uint8_t kSimErrorChecksum = 0x01;
constexpr uint8_t kSimErrorDataFormat = 0x09;
constexpr uint8_t kSimErrorWifiScan = 0x0B;

class SimulatedBaseUnit {
public:
    using NotificationSink = std::function<void(const std::vector<uint8_t>&)>;

    explicit SimulatedBaseUnit(SimulatedBaseUnitConfig config = {});

    void SetNotificationSink(NotificationSink sink);
    void SetConfig(SimulatedBaseUnitConfig config);

    // A new connection: both numberings start again at 0 and any half-received message is
    // dropped. Recorded messages are kept.
    void Connect();

    // One write to FF01. False when the unit refuses the frame (too long, malformed, out of
    // numbering, bad checksum); the reason is added to ProtocolErrors().
    bool WriteFrame(const std::vector<uint8_t>& frame);

    // Sends one notification of its own (for tests that need extra traffic).
    void SendNotification(uint8_t type, const std::vector<uint8_t>& data);

    std::vector<std::vector<uint8_t>> ReceivedCustomData() const;
    std::vector<std::string> ProtocolErrors() const;
    int WifiListRequests() const;

    // Capture of every frame in and out, one line each: "in" (written to the unit) or "out"
    // (notified by it), milliseconds since the unit was made, then the bytes in hex.
    void SetCapture(std::ostream* capture);

    // The encoded Wi-Fi list answer for these networks.
    static std::vector<uint8_t> EncodeWifiList(const std::vector<SimulatedWifiNetwork>& networks);

private:
    using Frames = std::vector<std::vector<uint8_t>>;

    void HandleMessage(uint8_t type, const std::vector<uint8_t>& data, Frames& out);
    void AnswerWifiList(Frames& out);
    void AppendMessage(uint8_t type, const std::vector<uint8_t>& data, bool checksums, Frames& out);
    std::vector<uint8_t> MakeFrame(uint8_t type, uint8_t frameControl,
                                   const std::vector<uint8_t>& data, bool checksum);
    void RejectLocked(const std::string& reason, uint8_t code, Frames& out);
    void CaptureLocked(const char* direction, const std::vector<uint8_t>& bytes);
    void Deliver(const Frames& frames);

    mutable std::mutex mutex_;
    SimulatedBaseUnitConfig config_;
    NotificationSink sink_;
    std::ostream* capture_ = nullptr;
    std::chrono::steady_clock::time_point start_;

    uint8_t expectedReceive_ = 0;
    uint8_t nextSend_ = 0;
    bool reassembling_ = false;
    uint8_t reassemblyType_ = 0;
    size_t declaredLength_ = 0;
    std::vector<uint8_t> reassembly_;

    std::vector<std::vector<uint8_t>> customData_;
    std::vector<std::string> protocolErrors_;
    int wifiListRequests_ = 0;
};
