#include "app/dpi_scale.h"

#include "common/unique_owner.h"

namespace {

// Present from Windows 10 1607; looked up so older systems and Wine builds without it still run.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

GetDpiForWindowFunction LookUpGetDpiForWindow() {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    return user ? reinterpret_cast<GetDpiForWindowFunction>(
                      reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")))
                : nullptr;
}

}  // namespace

int SystemDpi() {
    ScopedWindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

int WindowDpi(HWND window) {
    static const GetDpiForWindowFunction getDpiForWindow = LookUpGetDpiForWindow();
    const UINT dpi = window && getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

HBITMAP StretchedBitmap(HBITMAP source, int width, int height) {
    BITMAP size{};
    if (!source || width <= 0 || height <= 0 || !GetObjectW(source, sizeof(size), &size)) {
        return nullptr;
    }
    ScopedWindowDc screen(nullptr);
    UniqueMemoryDc from(CreateCompatibleDC(screen.get()));
    UniqueMemoryDc to(CreateCompatibleDC(screen.get()));
    UniqueBitmap result(CreateCompatibleBitmap(screen.get(), width, height));
    if (!from || !to || !result) {
        return nullptr;
    }
    {
        ScopedSelect readFrom(from.get(), source);
        ScopedSelect writeTo(to.get(), result.get());
        SetStretchBltMode(to.get(), HALFTONE);
        SetBrushOrgEx(to.get(), 0, 0, nullptr);
        StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, size.bmWidth, size.bmHeight,
                   SRCCOPY);
    }
    return result.release();
}
