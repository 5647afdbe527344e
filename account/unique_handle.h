#pragma once

#include <windows.h>
#include <winhttp.h>

#include <utility>

// Owns one platform handle and closes it once. NULL and INVALID_HANDLE_VALUE both mean "none".
template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return Valid(handle_); }
    Handle release() { return std::exchange(handle_, Handle()); }
    void reset(Handle handle = Handle()) {
        if (Valid(handle_)) {
            Traits::Close(handle_);
        }
        handle_ = handle;
    }

private:
    static bool Valid(Handle handle) {
        return handle != Handle() && handle != reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
    }
    Handle handle_ = Handle();
};

struct WinHttpHandleTraits {
    static void Close(HINTERNET handle) { WinHttpCloseHandle(handle); }
};
struct KernelHandleTraits {
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct LocalMemoryTraits {
    static void Close(HLOCAL memory) { LocalFree(memory); }
};

using UniqueWinHttpHandle = UniqueHandle<HINTERNET, WinHttpHandleTraits>;
using UniqueFileHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, LocalMemoryTraits>;
