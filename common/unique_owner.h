#pragma once

// Owners for every kind of platform handle the program holds, so each is released exactly once
// whichever layer opened it.

#include <windows.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <winhttp.h>

#include <utility>

// Owns one handle and releases it exactly once. Null and INVALID_HANDLE_VALUE both count as
// "nothing owned". Close is the platform function that releases a T.
template <typename T, auto Close>
class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(T value) : value_(value) {}
    ~UniqueOwner() { reset(); }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : value_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return Valid(value_); }
    T release() { return std::exchange(value_, T()); }
    void reset(T value = T()) {
        T old = std::exchange(value_, value);
        if (Valid(old)) {
            Close(old);
        }
    }

private:
    static bool Valid(T value) {
        return value != T() && reinterpret_cast<HANDLE>(value) != INVALID_HANDLE_VALUE;
    }
    T value_ = T();
};

// The one release function that takes more than the handle.
inline void CloseCngAlgorithm(BCRYPT_ALG_HANDLE handle) {
    BCryptCloseAlgorithmProvider(handle, 0);
}

using UniqueHandle = UniqueOwner<HANDLE, CloseHandle>;
using UniqueRegistryKey = UniqueOwner<HKEY, RegCloseKey>;
using UniqueWinHttpHandle = UniqueOwner<HINTERNET, WinHttpCloseHandle>;
using UniqueCngAlgorithm = UniqueOwner<BCRYPT_ALG_HANDLE, CloseCngAlgorithm>;
using UniqueCngHash = UniqueOwner<BCRYPT_HASH_HANDLE, BCryptDestroyHash>;
using UniqueFont = UniqueOwner<HFONT, DeleteObject>;
using UniqueBrush = UniqueOwner<HBRUSH, DeleteObject>;
using UniqueBitmap = UniqueOwner<HBITMAP, DeleteObject>;
using UniqueImageList = UniqueOwner<HIMAGELIST, ImageList_Destroy>;
using UniqueIcon = UniqueOwner<HICON, DestroyIcon>;
using UniqueMemoryDc = UniqueOwner<HDC, DeleteDC>;

// A window's (or the screen's) device context, released to the window it came from.
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() {
        if (dc_) {
            ReleaseDC(window_, dc_);
        }
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelect() {
        if (previous_ && previous_ != HGDI_ERROR) {
            SelectObject(dc_, previous_);
        }
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
