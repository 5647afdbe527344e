// Walks the wizard through its pages with a scripted backend and saves a picture of the window
// at each one, for looking at the artwork and layout by eye:
//     page_gallery.exe <folder>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/app/fake_account.h"
#include "tests/app/window_harness.h"

namespace {

bool SaveWindowPicture(HWND window, const std::wstring& path) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + imageBytes;
    bool ok = false;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
             WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
             WriteFile(out, bits, imageBytes, &written, nullptr);
        CloseHandle(out);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring folder = argc > 1 ? argv[1] : L".";
    CreateDirectoryW(folder.c_str(), nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
    ScriptedBackend::Script script;
    script.units = {{0x11, L"OV-Kitchen", -71, true},
                    {0x22, L"OV-Attic", 0, false},
                    {0x33, L"OV-Hall", -48, true},
                    {0x44, L"OV-Garage", -88, true}};
    script.networks = {
        {L"HomeNet", -52}, {L"HomeNet-5G", -63}, {L"Cafe Guest", -79}, {L"Neighbour", -90}};
    WizardWindow w(script);
    int index = 0;
    auto shot = [&](const wchar_t* name) {
        w.Pump(300);
        wchar_t file[64];
        swprintf(file, 64, L"\\%02d-%ls.bmp", ++index, name);
        SaveWindowPicture(w.app().window, folder + file);
    };
    shot(L"login");
    w.TypeInto(kUsernameField, L"anna");
    w.TypeInto(kPasswordField, L"pa55word");
    shot(L"login-typed");
    w.Click(kLoginButton);
    w.WaitIdle();
    w.SelectRow(kBaseUnitListView, 0);
    shot(L"base-units");
    w.Click(kConnectButton);
    w.WaitIdle();
    w.SelectRow(kWifiListView, 0);
    w.TypeInto(kWifiPasswordField, L"wifi-pass");
    shot(L"wifi");
    w.Click(kConfigureButton);
    w.WaitIdle();
    shot(L"result-sent");
    ScriptedBackend::Script failing = script;
    failing.sendOk = false;
    failing.sendError = L"The base unit did not confirm the configuration write.";
    w.backend().SetScript(failing);
    w.Click(kFinishButton);
    w.WaitIdle();
    w.SelectRow(kBaseUnitListView, 1);
    w.Click(kConnectButton);
    w.WaitIdle();
    w.Click(kUsernameOnlyButton);
    w.WaitIdle();
    shot(L"result-failed");
    return 0;
}
