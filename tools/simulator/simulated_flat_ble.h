#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/simulator/simulated_base_unit.h"

// The flat OvBle functions over simulated base units and other advertisers, for tests and the
// demo (never the shipping program). Everything is process-wide, like the real link: install a
// world, run the backend, read back what each unit received.
//
// Time: by default the link runs on the steady clock (write latency and slow answers are real
// waits). With virtual time switched on, every wait of the link (scan, pauses, time-outs,
// latencies, delayed answers) advances a virtual clock instead, in the order the events fall,
// so a 20-second budget takes no real time.

// A device that is not a base unit, or a base unit's extra packets, as heard by the scanner.
struct SimulatedAdvertiser {
    uint64_t address = 0;
    std::wstring name;                       // empty: a packet without a local name
    std::vector<int16_t> rssiReadings{-70};  // heard at even intervals over the 4-second scan
};

enum class SimulatedConnectFailure {
    None,
    DeviceNotFound,         // the platform yields no device for the address
    ServiceDiscoveryFails,  // GATT service read ends with an unreachable status
    NoBlufiService,         // services read, none is FFFF
    CharacteristicDiscoveryFails,
    MissingWriteCharacteristic,       // FF01 absent
    MissingNotifyCharacteristic,      // FF02 absent
    NotificationsRefused,             // the descriptor write ends with access denied
    PlatformError,                    // opening the device fails with connectErrorCode
    OpenHangs,                        // opening the device never completes
    NotificationSwitchHangs,          // the descriptor write never completes
    ServiceDiscoveryUnreachableOnce,  // the first service read after the link came up fails
};

// How the air between program and unit misbehaves. Each fault strikes once, then clears.
struct SimulatedLinkFaults {
    // The n-th write of a connection (1-based; 0: none) finds the link gone; the platform brings
    // it back for that write, and the unit numbers from 0 again.
    int dropBeforeWrite = 0;
    // The link drops right after the n-th write of a connection has reached the unit; what the
    // unit says about it is lost.
    int dropAfterWrite = 0;
    // The n-th notification the unit sends from now on (1-based) is lost on the air.
    int loseNotification = 0;
    // The link drops once no write has come for this long (0: never), as while the person
    // types the password.
    std::chrono::milliseconds dropWhenIdle{0};
};

enum class SimulatedWriteFailure {
    Status,    // the write completes with an unreachable status
    Platform,  // the write call fails with writeErrorCode
    Hang,      // the write never completes
};

struct SimulatedUnitSetup {
    uint64_t address = 0;
    std::wstring name = L"OV Base";
    std::vector<int16_t> rssiReadings{-60};  // heard at even intervals over the scan
    SimulatedBaseUnitConfig unit;            // Wi-Fi list, checksums, misbehaviour

    std::chrono::milliseconds writeLatency{0};  // until each write's response
    std::chrono::milliseconds answerDelay{0};   // before each notification reaches the queue
    // The radio's pace: at least this between two notifications (0 sends a burst at once,
    // which overflows the link's queue for long answers).
    std::chrono::milliseconds notificationSpacing{1};
    std::chrono::milliseconds connectStepLatency{0};
    SimulatedConnectFailure connectFailure = SimulatedConnectFailure::None;
    uint32_t connectErrorCode = 0x80070005u;
    int failWriteNumber = 0;  // the n-th write of a connection fails (1-based); 0: none does
    SimulatedWriteFailure writeFailure = SimulatedWriteFailure::Status;
    uint32_t writeErrorCode = 0x80650003u;
    // After the last handle is closed the platform keeps the link this long; a reopen within it
    // reaches the same unit connection (numbering and half-received message kept).
    std::chrono::milliseconds linger{3000};
    SimulatedLinkFaults faults;
};

enum class SimulatedScanner {
    Normal,
    RadioOff,          // Start fails with "device not ready"
    RadioUnavailable,  // the watcher stops by itself with "radio not available"
    ScannerFails,      // the watcher stops by itself with another error
    StartFails,        // Start fails with scannerErrorCode
    StopFails,         // Stop fails with scannerErrorCode
};

// A ready-made neighbourhood for the demo and window tests: three base units with different
// names, signal and Wi-Fi lists, one slow to answer the Wi-Fi request (8 s) and one answering
// it with an error report, plus two devices that are not base units.
struct SimulatedNeighbourhood {
    std::vector<SimulatedUnitSetup> units;
    std::vector<SimulatedAdvertiser> others;
};
SimulatedNeighbourhood SampleNeighbourhood();

class SimulatedBle {
public:
    // Replaces the world: the link is closed, queued notifications and records are dropped.
    static void Install(std::vector<SimulatedUnitSetup> units,
                        std::vector<SimulatedAdvertiser> others = {});
    static void InstallNeighbourhood(SimulatedNeighbourhood neighbourhood);
    // Back to an empty world on the steady clock.
    static void Reset();

    static void SetScanner(SimulatedScanner scanner, uint32_t scannerErrorCode = 0x80004005u);
    // The platform delivers one more advertisement event shortly after the watcher is stopped
    // and its handlers removed, as a real stack may with an event already under way.
    static void SetLateAdvertisementAfterStop(bool late);

    // tickStart: the 32-bit millisecond tick count at which virtual time begins.
    static void UseVirtualTime(bool on, uint32_t tickStart = 0);
    static std::chrono::steady_clock::time_point Now();
    static void AdvanceTime(std::chrono::milliseconds duration);

    // Per unit: the custom-data messages it received, every frame written to it, its record.
    static std::vector<std::vector<uint8_t>> ReceivedPayloads(uint64_t address);
    static std::vector<std::vector<uint8_t>> WrittenFrames(uint64_t address);
    static std::vector<std::chrono::steady_clock::time_point> WriteTimes(uint64_t address);
    static int WifiListRequests(uint64_t address);
    static std::vector<std::string> ProtocolErrors(uint64_t address);

    // The link of the open device drops now (the unit sees a disconnect); the next write brings
    // it back.
    static void DropLink();
    static void SetFaults(uint64_t address, const SimulatedLinkFaults& faults);
    // Switched off: scans, connects and writes fail with "device not ready", the link drops.
    static void SetRadioOff(bool off);
    // Whether the unit has a link to the computer, as the unit sees it.
    static bool LinkUp(uint64_t address);

    // Traffic of the connected unit: a message in its own numbering, or raw bytes as they are.
    static bool SendFromConnectedUnit(uint8_t type, const std::vector<uint8_t>& data);
    static bool InjectNotification(const std::vector<uint8_t>& bytes);

    static uint64_t ConnectedAddress();  // 0 when nothing is connected
    static bool ScanHandlersRegistered();
    static bool NotificationHandlerRegistered();
    static int LateAdvertisementsDelivered();
    static int ScansStarted();

    // Waits (really) until every event that is due has been delivered.
    static void Settle();
};
