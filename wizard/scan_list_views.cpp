#include "wizard/scan_list_views.h"

#include <string>

#include "app/win_owners.h"
#include "wizard/scan_lists.h"

namespace {

constexpr COLORREF kRowText = RGB(34, 34, 34);

void InsertRow(HWND list, int index, const std::wstring& text, int level,
               const std::wstring& signal) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.iImage = level;
    item.lParam = index;
    const int row =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) {
        return;
    }
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<wchar_t*>(signal.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
}

}  // namespace

HIMAGELIST BuildSignalImageList() {
    UniqueImageList images(ImageList_Create(24, 24, ILC_COLOR24 | ILC_MASK, 5, 0));
    if (!images) {
        return nullptr;
    }
    ScopedWindowDc screen(nullptr);
    UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!memory) {
        return nullptr;
    }
    static const RECT kBars[4] = {
        {3, 17, 6, 21}, {8, 13, 11, 21}, {13, 9, 16, 21}, {18, 5, 21, 21}};
    UniqueBrush white(CreateSolidBrush(RGB(255, 255, 255)));
    UniqueBrush green(CreateSolidBrush(RGB(70, 120, 70)));
    UniqueBrush grey(CreateSolidBrush(RGB(205, 205, 205)));
    for (int level = 0; level <= 4; ++level) {
        UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 24, 24));
        if (!bitmap) {
            return nullptr;
        }
        {
            ScopedSelect select(memory.get(), bitmap.get());
            RECT all{0, 0, 24, 24};
            FillRect(memory.get(), &all, white.get());
            for (int bar = 1; bar <= 4; ++bar) {
                FillRect(memory.get(), &kBars[bar - 1], bar <= level ? green.get() : grey.get());
            }
        }
        ImageList_AddMasked(images.get(), bitmap.get(), RGB(255, 255, 255));
    }
    return images.release();
}

void SetUpScanListView(HWND list, const wchar_t* firstColumn, HIMAGELIST images) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    const wchar_t* titles[2] = {firstColumn, L"Signal"};
    const int widths[2] = {320, 120};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = widths[i];
        column.pszText = const_cast<wchar_t*>(titles[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    if (images) {
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    }
}

void FillBaseUnitList(HWND list, const std::vector<BaseUnitInfo>& units) {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < units.size(); ++i) {
        const BaseUnitInfo& unit = units[i];
        InsertRow(list, static_cast<int>(i), unit.name, SignalLevel(unit.rssi, unit.hasRssi),
                  SignalText(unit.rssi, unit.hasRssi));
    }
}

void FillWifiList(HWND list, const std::vector<WifiNetwork>& networks) {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < networks.size(); ++i) {
        const WifiNetwork& network = networks[i];
        InsertRow(list, static_cast<int>(i), network.ssid, SignalLevel(network.rssi, true),
                  SignalText(network.rssi, true));
    }
}

int SelectedRow(HWND list) {
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

LRESULT OnScanListCustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            draw.clrText = kRowText;
            draw.clrTextBk = RGB(255, 255, 255);
            return CDRF_NEWFONT;
        default:
            return CDRF_DODEFAULT;
    }
}
