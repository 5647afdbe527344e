#include "tools/simulator/simulated_base_unit.h"

#include <algorithm>
#include <cstdio>

SimulatedBaseUnit::SimulatedBaseUnit(SimulatedBaseUnitConfig config)
    : config_(std::move(config)), start_(std::chrono::steady_clock::now()) {}

void SimulatedBaseUnit::SetNotificationSink(NotificationSink sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = std::move(sink);
}

void SimulatedBaseUnit::SetConfig(SimulatedBaseUnitConfig config) {
    std::lock_guard<std::mutex> lock(mutex_);
    config_ = std::move(config);
}

void SimulatedBaseUnit::SetCapture(std::ostream* capture) {
    std::lock_guard<std::mutex> lock(mutex_);
    capture_ = capture;
}

void SimulatedBaseUnit::Connect() {
    std::lock_guard<std::mutex> lock(mutex_);
    expectedReceive_ = 0;
    nextSend_ = 0;
    reassembling_ = false;
    reassembly_.clear();
}

std::vector<std::vector<uint8_t>> SimulatedBaseUnit::ReceivedCustomData() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return customData_;
}

std::vector<std::string> SimulatedBaseUnit::ProtocolErrors() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return protocolErrors_;
}

int SimulatedBaseUnit::WifiListRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return wifiListRequests_;
}

std::vector<uint8_t> SimulatedBaseUnit::EncodeWifiList(
    const std::vector<SimulatedWifiNetwork>& networks) {
    std::vector<uint8_t> data;
    for (const auto& network : networks) {
        const size_t ssidLength = std::min<size_t>(network.ssid.size(), 254);
        data.push_back(static_cast<uint8_t>(ssidLength + 1));
        data.push_back(static_cast<uint8_t>(network.rssi));
        data.insert(data.end(), network.ssid.begin(),
                    network.ssid.begin() + static_cast<std::ptrdiff_t>(ssidLength));
    }
    return data;
}

void SimulatedBaseUnit::CaptureLocked(const char* direction, const std::vector<uint8_t>& bytes) {
    if (capture_ == nullptr) {
        return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    std::string line = direction;
    line += ' ';
    line += std::to_string(elapsed.count());
    char hex[4];
    for (const uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", byte);
        line += hex;
    }
    *capture_ << line << '\n';
}

std::vector<uint8_t> SimulatedBaseUnit::MakeFrame(uint8_t type, uint8_t frameControl,
                                                  const std::vector<uint8_t>& data,
                                                  bool checksum) {
    const uint8_t sequence = nextSend_++;
    std::vector<uint8_t> frame;
    frame.reserve(kBlufiHeaderSize + data.size() + 2);
    frame.push_back(type);
    frame.push_back(static_cast<uint8_t>(frameControl | (checksum ? kBlufiFcChecksum : 0)));
    frame.push_back(sequence);
    frame.push_back(static_cast<uint8_t>(data.size()));
    frame.insert(frame.end(), data.begin(), data.end());
    if (checksum) {
        const uint16_t crc =
            BlufiFrameChecksum(sequence, data.data(), static_cast<uint8_t>(data.size()));
        frame.push_back(static_cast<uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<uint8_t>(crc >> 8));
    }
    return frame;
}

void SimulatedBaseUnit::AppendMessage(uint8_t type, const std::vector<uint8_t>& data,
                                      bool checksums, Frames& out) {
    const size_t limit = std::clamp<size_t>(config_.notificationDataLimit, 3, kBlufiMaxFrameData);
    if (data.size() <= limit) {
        out.push_back(MakeFrame(type, 0, data, checksums));
        return;
    }
    const size_t total = data.size();
    size_t offset = 0;
    while (total - offset > limit) {
        const size_t chunk = limit - 2;
        std::vector<uint8_t> fragment{static_cast<uint8_t>(total & 0xFF),
                                      static_cast<uint8_t>((total >> 8) & 0xFF)};
        fragment.insert(fragment.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                        data.begin() + static_cast<std::ptrdiff_t>(offset + chunk));
        out.push_back(MakeFrame(type, kBlufiFcFragment, fragment, checksums));
        offset += chunk;
    }
    out.push_back(MakeFrame(
        type, 0, std::vector<uint8_t>(data.begin() + static_cast<std::ptrdiff_t>(offset), data.end()),
        checksums));
}

void SimulatedBaseUnit::RejectLocked(const std::string& reason, uint8_t code, Frames& out) {
    protocolErrors_.push_back(reason);
    AppendMessage(kBlufiTypeErrorReport, {code}, config_.checksums, out);
}

void SimulatedBaseUnit::AnswerWifiList(Frames& out) {
    const SimulatedMisbehaviour& fault = config_.misbehaviour;
    if (fault.silent) {
        return;
    }
    for (int i = 0; i < fault.unrelatedFramesFirst; ++i) {
        if (i % 2 == 0) {
            AppendMessage(0x00, {}, config_.checksums, out);  // a control frame (acknowledgement)
        } else {
            AppendMessage(kBlufiTypeCustomData, {'b', 'u', 's', 'y'}, config_.checksums, out);
        }
    }
    const size_t first = out.size();
    const bool checksums = config_.checksums || fault.corruptChecksum;
    if (fault.skipSequence) {
        ++nextSend_;
    }
    if (fault.repeatSequence) {
        --nextSend_;
    }
    if (fault.answerWithErrorReport) {
        AppendMessage(kBlufiTypeErrorReport, {kSimErrorWifiScan}, checksums, out);
    } else {
        AppendMessage(kBlufiTypeWifiList, EncodeWifiList(config_.networks), checksums, out);
    }
    std::vector<uint8_t>& answer = out[first];
    if (fault.setEncryptedBit) {
        answer[1] |= kBlufiFcEncrypted;
    }
    if (fault.corruptChecksum) {
        answer.back() ^= 0x5A;
    }
    if (fault.truncateFrame) {
        answer.pop_back();
    }
}

void SimulatedBaseUnit::HandleMessage(uint8_t type, const std::vector<uint8_t>& data,
                                      Frames& out) {
    if (type == kBlufiTypeWifiListRequest) {
        ++wifiListRequests_;
        AnswerWifiList(out);
    } else if (type == kBlufiTypeCustomData) {
        customData_.push_back(data);
    }
    // Every other frame type is outside what the program sends; the firmware ignores it.
}

bool SimulatedBaseUnit::WriteFrame(const std::vector<uint8_t>& frame) {
    Frames out;
    bool accepted = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        CaptureLocked("in", frame);
        [&] {
            if (frame.size() > kBlufiMaxFrameSize) {
                RejectLocked("frame longer than 20 bytes", kSimErrorDataFormat, out);
                return;
            }
            if (frame.size() < kBlufiHeaderSize) {
                RejectLocked("frame shorter than its header", kSimErrorDataFormat, out);
                return;
            }
            const uint8_t type = frame[0];
            const uint8_t frameControl = frame[1];
            const uint8_t sequence = frame[2];
            const uint8_t length = frame[3];
            if (sequence != expectedReceive_) {
                RejectLocked("sequence " + std::to_string(sequence) + " where " +
                                 std::to_string(expectedReceive_) + " was due",
                             kSimErrorSequence, out);
                return;
            }
            ++expectedReceive_;
            const bool checksum = (frameControl & kBlufiFcChecksum) != 0;
            if (frame.size() != kBlufiHeaderSize + length + (checksum ? 2u : 0u)) {
                RejectLocked("data length does not match the frame", kSimErrorDataFormat, out);
                return;
            }
            if (frameControl & kBlufiFcEncrypted) {
                RejectLocked("encrypted frame without a negotiated key", 0x02, out);
                return;
            }
            const uint8_t* data = frame.data() + kBlufiHeaderSize;
            if (checksum) {
                const uint16_t carried =
                    static_cast<uint16_t>(data[length] | (data[length + 1] << 8));
                if (BlufiFrameChecksum(sequence, data, length) != carried) {
                    RejectLocked("checksum mismatch", kSimErrorChecksum, out);
                    return;
                }
            }
            if (frameControl & kBlufiFcFragment) {
                if (length < 2) {
                    RejectLocked("fragment without its total length", kSimErrorDataFormat, out);
                    return;
                }
                const size_t declared = static_cast<size_t>(data[0] | (data[1] << 8));
                if (!reassembling_) {
                    reassembling_ = true;
                    reassemblyType_ = type;
                    declaredLength_ = declared;
                    reassembly_.clear();
                } else if (declared != declaredLength_ || type != reassemblyType_) {
                    reassembling_ = false;
                    RejectLocked("fragment does not belong to the message in progress",
                                 kSimErrorDataFormat, out);
                    return;
                }
                reassembly_.insert(reassembly_.end(), data + 2, data + length);
                if (reassembly_.size() >= declaredLength_) {
                    reassembling_ = false;
                    RejectLocked("fragments carry more than their total length",
                                 kSimErrorDataFormat, out);
                    return;
                }
                accepted = true;
                return;
            }
            std::vector<uint8_t> message;
            if (reassembling_) {
                reassembling_ = false;
                reassembly_.insert(reassembly_.end(), data, data + length);
                if (reassembly_.size() != declaredLength_ || type != reassemblyType_) {
                    RejectLocked("message length differs from its total length",
                                 kSimErrorDataFormat, out);
                    return;
                }
                message.swap(reassembly_);
            } else {
                message.assign(data, data + length);
            }
            accepted = true;
            HandleMessage(type, message, out);
        }();
        for (const auto& notification : out) {
            CaptureLocked("out", notification);
        }
    }
    Deliver(out);
    return accepted;
}

void SimulatedBaseUnit::SendNotification(uint8_t type, const std::vector<uint8_t>& data) {
    Frames out;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        AppendMessage(type, data, config_.checksums, out);
        for (const auto& notification : out) {
            CaptureLocked("out", notification);
        }
    }
    Deliver(out);
}

void SimulatedBaseUnit::Deliver(const Frames& frames) {
    NotificationSink sink;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sink = sink_;
    }
    if (!sink) {
        return;
    }
    for (const auto& frame : frames) {
        sink(frame);
    }
}
