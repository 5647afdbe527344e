// A GATT characteristic: writes reach the unit behind it, and its notifications come back as
// value changes.

#include <memory>
#include <mutex>

#include "tools/winrt_provider/provider_async.h"
#include "tools/winrt_provider/provider_buffers.h"
#include "tools/winrt_provider/provider_gatt.h"

namespace winrt_provider {
namespace {

class ValueChangedArgs final : public IGattValueChangedEventArgs, public Object {
public:
    explicit ValueChangedArgs(Bytes bytes) : Object("ValueChangedArgs"), bytes_(std::move(bytes)) {}

    PROVIDER_INSPECTABLE(
        L"Windows.Devices.Bluetooth.GenericAttributeProfile.GattValueChangedEventArgs",
        Face<IGattValueChangedEventArgs>{IID_ValueChangedEventArgs})

    HRESULT STDMETHODCALLTYPE get_CharacteristicValue(IBuffer** value) override {
        PROVIDER_ENTER("ValueChangedArgs.get_CharacteristicValue");
        ComPtr<ByteBuffer> buffer;
        Adopt(buffer, new ByteBuffer(bytes_));
        return GiveOut<IBuffer>("ValueChangedArgs.get_CharacteristicValue",
                                static_cast<IBuffer*>(buffer.Get()), value);
    }
    PROVIDER_UNUSED_METHOD(get_Timestamp, "ValueChangedArgs.get_Timestamp", DateTime*)

private:
    Bytes bytes_;
};

}  // namespace

class Characteristic final : public IGattCharacteristic, public Object {
public:
    Characteristic(uint16_t uuid, std::shared_ptr<Connection> connection)
        : Object("Characteristic"),
          uuid_(uuid),
          connection_(std::move(connection)),
          target_(std::make_shared<NotifyTarget>()) {
        target_->characteristic = this;
    }

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.GenericAttributeProfile.GattCharacteristic",
                         Face<IGattCharacteristic>{IID_Characteristic})

    PROVIDER_UNUSED_METHOD(GetDescriptors, "Characteristic.GetDescriptors", GUID, IInspectable**)
    PROVIDER_UNUSED_METHOD(get_CharacteristicProperties,
                           "Characteristic.get_CharacteristicProperties", UINT32*)
    PROVIDER_UNUSED_METHOD(get_ProtectionLevel, "Characteristic.get_ProtectionLevel", INT32*)
    PROVIDER_UNUSED_METHOD(put_ProtectionLevel, "Characteristic.put_ProtectionLevel", INT32)
    PROVIDER_UNUSED_METHOD(get_UserDescription, "Characteristic.get_UserDescription", HSTRING*)
    HRESULT STDMETHODCALLTYPE get_Uuid(GUID* uuid) override {
        return Get(this, "Characteristic.get_Uuid", uuid, BaseUuid(uuid_));
    }
    PROVIDER_UNUSED_METHOD(get_AttributeHandle, "Characteristic.get_AttributeHandle", UINT16*)
    PROVIDER_UNUSED_METHOD(get_PresentationFormats, "Characteristic.get_PresentationFormats",
                           IInspectable**)
    PROVIDER_UNUSED_METHOD(ReadValueAsync, "Characteristic.ReadValueAsync", IInspectable**)
    PROVIDER_UNUSED_METHOD(ReadValueWithCacheModeAsync,
                           "Characteristic.ReadValueWithCacheModeAsync", INT32, IInspectable**)
    HRESULT STDMETHODCALLTYPE WriteValueAsync(IBuffer* value,
                                              IAsyncStatusOperation** operation) override {
        PROVIDER_ENTER("Characteristic.WriteValueAsync");
        return Write("Characteristic.WriteValueAsync", value, kWriteWithResponse, operation);
    }
    HRESULT STDMETHODCALLTYPE WriteValueWithOptionAsync(
        IBuffer* value, INT32 option, IAsyncStatusOperation** operation) override {
        PROVIDER_ENTER("Characteristic.WriteValueWithOptionAsync");
        return Write("Characteristic.WriteValueWithOptionAsync", value, option, operation);
    }
    PROVIDER_UNUSED_METHOD(ReadClientCharacteristicConfigurationDescriptorAsync,
                           "Characteristic.ReadClientCharacteristicConfigurationDescriptorAsync",
                           IInspectable**)
    HRESULT STDMETHODCALLTYPE WriteClientCharacteristicConfigurationDescriptorAsync(
        INT32 value, IAsyncStatusOperation** operation) override {
        const char* call = "Characteristic.WriteClientCharacteristicConfigurationDescriptorAsync";
        PROVIDER_ENTER(call);
        if (connection_->Closed()) {
            return kHrClosed;
        }
        const std::shared_ptr<UnitRecord> record = connection_->record;
        const SimulatedConnectFailure failure = record->setup.connectFailure;
        const uint16_t uuid = uuid_;
        const std::shared_ptr<NotifyTarget> target = target_;
        const std::shared_ptr<Connection> connection = connection_;
        return Launch<StatusOperation>(
            call, "DescriptorWriteOperation", IID_IAsyncStatusOperation,
            IID_IAsyncStatusOperationHandler, record->setup.connectStepLatency,
            failure == SimulatedConnectFailure::NotificationSwitchHangs,
            [=]() {
                if (uuid != 0xFF02) {
                    return StatusOutcome(kGattProtocolError);
                }
                if (failure == SimulatedConnectFailure::NotificationsRefused) {
                    return StatusOutcome(kGattAccessDenied);
                }
                if (value == kDescriptorNone) {
                    record->unit->SetNotificationSink(nullptr);
                    return StatusOutcome(kGattSuccess);
                }
                {
                    std::lock_guard<std::mutex> lock(target->pacing);
                    target->delay = record->setup.answerDelay;
                    target->spacing = record->setup.notificationSpacing;
                }
                {
                    std::lock_guard<std::mutex> lock(connection->mutex);
                    connection->targets.push_back(target);
                }
                {
                    World& world = TheWorld();
                    std::lock_guard<std::mutex> lock(world.mutex);
                    record->writesThisConnection = 0;
                }
                const std::weak_ptr<UnitRecord> weak = record;
                record->unit->SetNotificationSink([target, weak](const Bytes& bytes) {
                    const auto unit = weak.lock();
                    if (!unit) {
                        return;
                    }
                    {
                        World& world = TheWorld();
                        std::lock_guard<std::mutex> lock(world.mutex);
                        int& lose = unit->setup.faults.loseNotification;
                        if (lose > 0 && --lose == 0) {
                            return;  // lost on the air
                        }
                    }
                    Post(target, bytes, false, unit, LinkEpoch(unit));
                });
                std::vector<std::function<void()>> inFlight;
                {
                    World& world = TheWorld();
                    std::lock_guard<std::mutex> lock(world.mutex);
                    inFlight.swap(world.inFlight);
                }
                for (const auto& event : inFlight) {
                    event();
                }
                const int flood = Faults().notificationFlood;
                for (int i = 0; i < flood; ++i) {
                    Post(target, Bytes{0x4D, 0x00, static_cast<uint8_t>(i), 0x00}, true);
                }
                return StatusOutcome(kGattSuccess);
            },
            operation);
    }
    HRESULT STDMETHODCALLTYPE add_ValueChanged(IValueChangedHandler* handler,
                                               Token* token) override {
        PROVIDER_ENTER("Characteristic.add_ValueChanged");
        return valueChanged_.Add(handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_ValueChanged(Token token) override {
        PROVIDER_ENTER("Characteristic.remove_ValueChanged");
        if (Faults().notificationInFlightAtRemoval) {
            KeepInFlight(token);
        }
        return valueChanged_.Remove(token);
    }

    // A value change the platform had already started to deliver when the handler went.
    void KeepInFlight(Token token) {
        struct InFlight {
            ComPtr<IValueChangedHandler> handler;
            ComPtr<IGattCharacteristic> sender;
            ~InFlight() {
                if (handler) {
                    CountDelegates(-1);
                }
            }
        };
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.inFlightKept) {
                return;
            }
            world.inFlightKept = true;
        }
        auto event = std::make_shared<InFlight>();
        Adopt(event->handler, valueChanged_.Find(token));
        if (!event->handler) {
            return;
        }
        CountDelegates(1);
        event->sender = static_cast<IGattCharacteristic*>(this);
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.inFlight.push_back([event] {
            ComPtr<ValueChangedArgs> args;
            Adopt(args, new ValueChangedArgs(Bytes{0x4D, 0x00, 0x7F, 0x00}));
            CountHandlerCall(true);
            event->handler->Invoke(event->sender.Get(), args.Get());
        });
    }

    void Deliver(const Bytes& bytes) {
        ComPtr<ValueChangedArgs> args;
        Adopt(args, new ValueChangedArgs(bytes));
        valueChanged_.Deliver([&](IValueChangedHandler* handler) {
            handler->Invoke(static_cast<IGattCharacteristic*>(this), args.Get());
        });
    }

private:
    HRESULT Write(const char* call, IBuffer* value, INT32 option,
                  IAsyncStatusOperation** operation) {
        if (operation == nullptr) {
            return E_POINTER;
        }
        *operation = nullptr;
        if (connection_->Closed()) {
            return kHrClosed;
        }
        if (option != kWriteWithResponse) {
            Count(&Counts::writesWithoutResponse);
        }
        HRESULT hr = S_OK;
        Bytes frame = BytesOf(value, hr);
        if (FAILED(hr)) {
            return hr;
        }
        const std::shared_ptr<UnitRecord> record = connection_->record;
        const SimulatedUnitSetup& setup = record->setup;
        int number = 0;
        simulated_link::WriteDrops drops;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.radioOff) {
                return kHrDeviceNotReady;
            }
            number = ++record->writesThisConnection;
            drops = simulated_link::TakeWriteDrops(record->setup.faults, number);
        }
        if (drops.before) {
            DropUnitLink(record);
        }
        const bool failing = setup.failWriteNumber > 0 && number == setup.failWriteNumber;
        if (failing && setup.writeFailure == SimulatedWriteFailure::Platform) {
            return static_cast<HRESULT>(setup.writeErrorCode);
        }
        const uint16_t uuid = uuid_;
        return Launch<StatusOperation>(
            call, "WriteOperation", IID_IAsyncStatusOperation, IID_IAsyncStatusOperationHandler,
            setup.writeLatency, failing && setup.writeFailure == SimulatedWriteFailure::Hang,
            [record, frame, failing, uuid, dropAfter = drops.after]() {
                if (failing || uuid != 0xFF01) {
                    return StatusOutcome(kGattUnreachable);
                }
                {
                    World& world = TheWorld();
                    std::lock_guard<std::mutex> lock(world.mutex);
                    record->written.push_back(frame);
                }
                // A write on a link that went down brings it back, as on Windows.
                BringLinkUp(record);
                // The firmware's verdict travels back as notifications, not as the status.
                record->unit->WriteFrame(frame);
                if (dropAfter) {
                    DropUnitLink(record);
                }
                DropWhenIdle(record);
                return StatusOutcome(kGattSuccess);
            },
            operation);
    }

    void OnFinalRelease() override {
        {
            std::lock_guard<std::mutex> lock(target_->mutex);
            target_->characteristic = nullptr;
        }
        valueChanged_.Clear();
    }

    uint16_t uuid_;
    std::shared_ptr<Connection> connection_;
    std::shared_ptr<NotifyTarget> target_;
    EventRegistry<IValueChangedHandler> valueChanged_;
};

void Post(const std::shared_ptr<NotifyTarget>& target, Bytes bytes, bool anyThread,
          std::shared_ptr<UnitRecord> record, uint64_t epoch) {
    TimePoint due = Clock().Now();
    {
        std::lock_guard<std::mutex> lock(target->pacing);
        due += target->delay;
        if (!anyThread && target->last != TimePoint{} && due < target->last + target->spacing) {
            due = target->last + target->spacing;
        }
        if (!anyThread) {
            target->last = due;
        }
    }
    Tasks().Schedule(due, anyThread ? nullptr : target.get(),
                     [target, record, epoch, bytes = std::move(bytes)] {
                         if (record && LinkEpoch(record) != epoch) {
                             return;
                         }
                         std::lock_guard<std::mutex> lock(target->mutex);
                         if (target->characteristic != nullptr) {
                             target->characteristic->Deliver(bytes);
                         }
                     });
}

IGattCharacteristic* NewCharacteristic(uint16_t uuid, std::shared_ptr<Connection> connection) {
    return new Characteristic(uuid, std::move(connection));
}

}  // namespace winrt_provider
