#pragma once

// The buffers values travel in, and the factory that makes them.

#include <vector>

#include "tools/winrt_provider/provider_com.h"

namespace winrt_provider {

class ByteBuffer final : public IBuffer, public IBufferByteAccess, public Object {
public:
    explicit ByteBuffer(UINT32 capacity) : Object("Buffer"), bytes_(capacity) {}
    explicit ByteBuffer(const Bytes& bytes)
        : Object("Buffer"), bytes_(bytes), length_(bytes.size()) {}

    PROVIDER_INSPECTABLE(L"Windows.Storage.Streams.Buffer", Face<IBuffer>{IID_Buffer},
                         Face<IBufferByteAccess>{IID_BufferByteAccess})

    HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* capacity) override {
        return Get(this, "Buffer.get_Capacity", capacity, static_cast<UINT32>(bytes_.size()));
    }
    HRESULT STDMETHODCALLTYPE get_Length(UINT32* length) override {
        return Get(this, "Buffer.get_Length", length, static_cast<UINT32>(length_));
    }
    HRESULT STDMETHODCALLTYPE put_Length(UINT32 length) override {
        PROVIDER_ENTER("Buffer.put_Length");
        if (length > bytes_.size()) {
            return E_INVALIDARG;
        }
        length_ = length;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Buffer(BYTE** bytes) override {
        PROVIDER_ENTER("Buffer.Buffer");
        if (bytes == nullptr) {
            return E_POINTER;
        }
        *bytes = NullResult("Buffer.Buffer") ? nullptr : bytes_.data();
        return S_OK;
    }

    Bytes Content() const { return Bytes(bytes_.begin(), bytes_.begin() + length_); }

private:
    Bytes bytes_;
    size_t length_ = 0;
};

class BufferFactory final : public StaticsFactory<IBufferFactory> {
public:
    BufferFactory()
        : StaticsFactory("BufferFactory", L"Windows.Storage.Streams.Buffer", IID_BufferFactory) {}

    HRESULT STDMETHODCALLTYPE Create(UINT32 capacity, IBuffer** buffer) override {
        PROVIDER_ENTER("BufferFactory.Create");
        if (buffer == nullptr) {
            return E_POINTER;
        }
        ComPtr<ByteBuffer> made;
        Adopt(made, new ByteBuffer(capacity));
        return GiveOut<IBuffer>("BufferFactory.Create", static_cast<IBuffer*>(made.Get()), buffer);
    }
};

inline Bytes BytesOf(IBuffer* buffer, HRESULT& hr) {
    hr = E_POINTER;
    if (buffer == nullptr) {
        return {};
    }
    UINT32 length = 0;
    hr = buffer->get_Length(&length);
    if (FAILED(hr)) {
        return {};
    }
    ComPtr<IBufferByteAccess> access;
    hr = buffer->QueryInterface(IID_BufferByteAccess,
                                reinterpret_cast<void**>(access.GetAddressOf()));
    if (FAILED(hr)) {
        return {};
    }
    BYTE* data = nullptr;
    hr = access->Buffer(&data);
    if (FAILED(hr)) {
        return {};
    }
    if (data == nullptr && length > 0) {
        hr = E_POINTER;
        return {};
    }
    return Bytes(data, data + length);
}

}  // namespace winrt_provider
