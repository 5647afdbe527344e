#include "ble/scan_runner.h"

#include <chrono>
#include <exception>
#include <new>

#include "ble/ble_clock.h"
#include "ble/flat_text.h"

namespace {

constexpr int32_t kBluetoothErrorRadioNotAvailable = 1;

std::wstring ScanFailureText(int32_t hresult) {
    if (static_cast<uint32_t>(hresult) == kHrDeviceNotReady) {
        return ble_text::kRadioOff;
    }
    return HresultSentence(ble_text::kScanFailed, static_cast<uint32_t>(hresult));
}

// Stops and unregisters on every way out, so no handler outlives the call's use of it.
class WatcherSession {
public:
    explicit WatcherSession(ScanPlatform& platform) : platform_(platform) {}
    ~WatcherSession() { Finish(); }

    void MarkStarted() { started_ = true; }

    void Finish() {
        if (finished_) {
            return;
        }
        finished_ = true;
        if (started_) {
            bool running = true;
            if (platform_.IsStarted(running) != 0 || running) {
                platform_.Stop();
            }
        }
        platform_.UnregisterHandlers();
        platform_.ReleaseWatcher();
    }

private:
    ScanPlatform& platform_;
    bool started_ = false;
    bool finished_ = false;
};

}  // namespace

int RunAdvertisementScan(ScanPlatform& platform, OV_BLE_SCAN_DEVICE* devices, int capacity,
                         int* count, wchar_t* errorBuffer, int errorCapacity) {
    if (count != nullptr) {
        *count = 0;
    }
    std::shared_ptr<ScanCollection> collection;
    try {
        int32_t hr = platform.EnsureApartment();
        if (hr != 0) {
            CopyToErrorBuffer(ScanFailureText(hr), errorBuffer, errorCapacity);
            return 0;
        }
        collection = std::make_shared<ScanCollection>();
        BleClock& clock = CurrentBleClock();
        WatcherSession session(platform);
        hr = platform.CreateWatcher();
        if (hr == 0) {
            hr = platform.RegisterHandlers(collection);
        }
        if (hr == 0) {
            hr = platform.Start();
        }
        if (hr != 0) {
            session.Finish();
            collection->Close();
            CopyToErrorBuffer(ScanFailureText(hr), errorBuffer, errorCapacity);
            return 0;
        }
        session.MarkStarted();
        clock.SleepUntil(clock.Now() + std::chrono::milliseconds(kScanListenMs));
        bool started = false;
        hr = platform.IsStarted(started);
        if (hr == 0 && started) {
            hr = platform.Stop();
        }
        if (hr == 0) {
            clock.SleepUntil(clock.Now() + std::chrono::milliseconds(kScanGraceMs));
        }
        session.Finish();
        collection->Close();
        if (hr != 0) {
            CopyToErrorBuffer(ScanFailureText(hr), errorBuffer, errorCapacity);
            return 0;
        }
        const int32_t stopError = collection->StopError();
        if (stopError == kBluetoothErrorRadioNotAvailable) {
            CopyToErrorBuffer(ble_text::kRadioOff, errorBuffer, errorCapacity);
            return 0;
        }
        if (stopError != 0) {
            CopyToErrorBuffer(ble_text::kScannerFailed, errorBuffer, errorCapacity);
            return 0;
        }
        const int written = WriteScanDevices(collection->SortedDevices(), devices, capacity);
        if (count != nullptr) {
            *count = written;
        }
        CopyToErrorBuffer(std::wstring(), errorBuffer, errorCapacity);
        return 1;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        if (collection) {
            collection->Close();
        }
        CopyToErrorBuffer(PlainSentence(ble_text::kScanFailed), errorBuffer, errorCapacity);
        return 0;
    }
}
