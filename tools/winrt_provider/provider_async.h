#pragma once

// Asynchronous operations and the read-only lists the GATT discoveries yield.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "tools/winrt_provider/provider_com.h"

namespace winrt_provider {

template <typename Operation>
class AsyncOperation final : public Operation, public IAsyncInfo, public Object {
public:
    using Handler = typename Operation::Handler;
    using Result = typename Operation::Result;
    using Stored = std::conditional_t<std::is_pointer<Result>::value,
                                      ComPtr<std::remove_pointer_t<Result>>, Result>;
    struct Outcome {
        INT32 status = kAsyncCompleted;
        Stored value{};
        HRESULT error = S_OK;
    };
    using Work = std::function<Outcome()>;

    AsyncOperation(const char* name, const GUID& iid, const GUID& handlerIid)
        : Object(name), name_(name), iid_(iid), handlerIid_(handlerIid) {}

    // Starts the operation: it finishes after latency with what work yields, never when it
    // hangs; when it finishes relative to put_Completed follows the faults' timing.
    void Begin(std::chrono::milliseconds latency, bool hang, Work work) {
        timing_ = NextTiming();
        if (hang) {
            return;
        }
        work_ = std::move(work);
        latency_ = latency;
        created_ = Clock().Now();
        if (timing_ != CompletionTiming::Later) {
            if (latency.count() > 0) {
                Clock().SleepFor(latency);
            }
            Finish(work_());
        }
    }

    PROVIDER_INSPECTABLE(L"Windows.Foundation.IAsyncOperation`1", Face<Operation>{iid_},
                         Face<IAsyncInfo>{IID_AsyncInfo})

    HRESULT STDMETHODCALLTYPE put_Completed(Handler* handler) override {
        PROVIDER_ENTER(Call(".put_Completed"));
        if (handler == nullptr) {
            return E_INVALIDARG;
        }
        bool finished = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (handler_ != nullptr || handlerSet_) {
                return kHrIllegalDelegateAssignment;
            }
            handler->AddRef();
            CountDelegates(1);
            handler_ = handler;
            handlerSet_ = true;
            finished = status_ != kAsyncStarted;
        }
        if (finished && timing_ == CompletionTiming::InsidePutCompleted) {
            InvokeHandler();
        } else if (finished) {
            // Completion on a provider thread while this call has not yet returned.
            auto invoked = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
            auto done = std::make_shared<bool>(false);
            ComPtr<AsyncOperation> self(this);
            Tasks().ScheduleNow(nullptr, [self, invoked, done] {
                self->InvokeHandler();
                std::lock_guard<std::mutex> lock(invoked->first);
                *done = true;
                invoked->second.notify_all();
            });
            std::unique_lock<std::mutex> lock(invoked->first);
            invoked->second.wait(lock, [&] { return *done; });
        } else if (work_) {
            ComPtr<AsyncOperation> self(this);
            auto returned = returned_;
            TimePoint due = created_ + latency_;
            Tasks().Schedule(due, nullptr, [self, returned] {
                while (!returned->load()) {
                    std::this_thread::yield();
                }
                self->Finish(self->work_());
            });
            returned_->store(true);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Completed(Handler** handler) override {
        PROVIDER_ENTER(Call(".get_Completed"));
        if (handler == nullptr) {
            return E_POINTER;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        *handler = handler_;
        if (handler_ != nullptr) {
            handler_->AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResults(Result* results) override {
        PROVIDER_ENTER(Call(".GetResults"));
        if (results == nullptr) {
            return E_POINTER;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (status_ != kAsyncCompleted || closed_) {
            return kHrIllegalMethodCall;
        }
        if constexpr (std::is_pointer<Result>::value) {
            *results = NullResult(Call(".GetResults")) ? nullptr : value_.Get();
            if (*results != nullptr) {
                (*results)->AddRef();
            }
        } else {
            *results = value_;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
        if (id == nullptr) {
            return E_POINTER;
        }
        *id = 1;
        return Enter(this, Call(".get_Id"));
    }
    HRESULT STDMETHODCALLTYPE get_Status(INT32* status) override {
        return Get(this, Call(".get_Status"), status, [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return status_;
        });
    }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
        return Get(this, Call(".get_ErrorCode"), code, [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return error_;
        });
    }
    HRESULT STDMETHODCALLTYPE Cancel() override {
        PROVIDER_ENTER(Call(".Cancel"));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (status_ != kAsyncStarted) {
                return S_OK;
            }
            status_ = kAsyncCanceled;
        }
        InvokeHandler();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        PROVIDER_ENTER(Call(".Close"));
        std::lock_guard<std::mutex> lock(mutex_);
        if (status_ == kAsyncStarted) {
            return kHrIllegalMethodCall;  // a running operation cannot be closed
        }
        closed_ = true;
        return S_OK;
    }

private:
    const char* Call(const char* method) {
        // The names are a handful of literals; keep them for the call log's lifetime.
        static std::mutex namesMutex;
        static std::map<std::string, std::string>* names = new std::map<std::string, std::string>;
        std::lock_guard<std::mutex> lock(namesMutex);
        std::string& name = (*names)[std::string(name_) + method];
        if (name.empty()) {
            name = std::string(name_) + method;
        }
        return name.c_str();
    }

    void Finish(Outcome outcome) {
        bool invoke = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (status_ != kAsyncStarted) {
                return;  // cancelled meanwhile
            }
            status_ = outcome.status;
            value_ = std::move(outcome.value);
            error_ = outcome.error;
            invoke = handler_ != nullptr;
        }
        if (invoke) {
            InvokeHandler();
        }
    }

    void InvokeHandler() {
        Handler* handler = nullptr;
        INT32 status = kAsyncStarted;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handler = handler_;
            handler_ = nullptr;
            status = status_;
        }
        if (handler == nullptr) {
            return;
        }
        CountHandlerCall(false);
        handler->Invoke(static_cast<Operation*>(this), status);
        handler->Release();
        CountDelegates(-1);
    }

    void OnFinalRelease() override {
        Handler* handler = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handler = handler_;
            handler_ = nullptr;
            value_ = Stored{};
        }
        if (handler != nullptr) {
            handler->Release();
            CountDelegates(-1);
        }
    }

    const char* name_;
    const GUID& iid_;
    const GUID& handlerIid_;
    std::mutex mutex_;
    INT32 status_ = kAsyncStarted;
    Stored value_{};
    HRESULT error_ = S_OK;
    Handler* handler_ = nullptr;
    bool handlerSet_ = false;
    bool closed_ = false;
    CompletionTiming timing_ = CompletionTiming::Later;
    Work work_;
    std::chrono::milliseconds latency_{0};
    TimePoint created_{};
    std::shared_ptr<std::atomic<bool>> returned_ = std::make_shared<std::atomic<bool>>(false);
};

using DeviceOperation = AsyncOperation<IAsyncDeviceOperation>;
using ServicesOperation = AsyncOperation<IAsyncServicesOperation>;
using CharacteristicsOperation = AsyncOperation<IAsyncCharacteristicsOperation>;
using StatusOperation = AsyncOperation<IAsyncStatusOperation>;

template <typename View, typename Item>
class VectorView final : public View, public Object {
public:
    VectorView(const char* name, const GUID& iid, std::vector<ComPtr<Item>> items)
        : Object(name), name_(name), iid_(iid), items_(std::move(items)) {}

    PROVIDER_INSPECTABLE(L"Windows.Foundation.Collections.IVectorView`1", Face<View>{iid_})

    HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, Item** item) override {
        HRESULT hr =
            Enter(this, Is("ServiceList") ? "ServiceList.GetAt" : "CharacteristicList.GetAt");
        if (FAILED(hr)) {
            return hr;
        }
        if (item == nullptr) {
            return E_POINTER;
        }
        *item = nullptr;
        if (index >= items_.size()) {
            return kHrBounds;
        }
        return GiveOut(Is("ServiceList") ? "ServiceList.GetAt" : "CharacteristicList.GetAt",
                       items_[index].Get(), item);
    }
    HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
        return Get(this, Is("ServiceList") ? "ServiceList.get_Size" : "CharacteristicList.get_Size",
                   size, static_cast<UINT32>(items_.size()));
    }
    PROVIDER_UNUSED_METHOD(IndexOf, "VectorView.IndexOf", Item*, UINT32*, boolean*)
    PROVIDER_UNUSED_METHOD(GetMany, "VectorView.GetMany", UINT32, UINT32, Item**, UINT32*)

private:
    bool Is(const char* name) const { return std::strcmp(name_, name) == 0; }
    void OnFinalRelease() override { items_.clear(); }

    const char* name_;
    const GUID& iid_;
    std::vector<ComPtr<Item>> items_;
};

template <typename Op, typename OpInterface>
HRESULT Launch(const char* call, const char* name, const GUID& iid, const GUID& handlerIid,
               std::chrono::milliseconds latency, bool hang, typename Op::Work work,
               OpInterface** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    ComPtr<Op> op;
    Adopt(op, new Op(name, iid, handlerIid));
    op->Begin(latency, hang, std::move(work));
    return GiveOut<OpInterface>(call, static_cast<OpInterface*>(op.Get()), out);
}

inline StatusOperation::Outcome StatusOutcome(INT32 status) {
    StatusOperation::Outcome outcome;
    outcome.value = status;
    return outcome;
}

}  // namespace winrt_provider
