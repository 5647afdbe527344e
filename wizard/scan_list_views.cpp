#include "wizard/scan_list_views.h"

#include <string>

#include "common/unique_owner.h"
#include "wizard/scaled_geometry.h"
#include "wizard/scan_lists.h"

namespace {

constexpr int kColumnWidths[2] = {320, 120};
// Never one of the bar colours, whatever the theme.
constexpr COLORREF kMask = RGB(255, 0, 255);

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

HIMAGELIST BuildSignalImageList(int dpi, COLORREF on, COLORREF off) {
    const int side = ScaleForDpi(24, dpi);
    UniqueImageList images(ImageList_Create(side, side, ILC_COLOR24 | ILC_MASK, 5, 0));
    if (!images) {
        return nullptr;
    }
    ScopedWindowDc screen(nullptr);
    UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!memory) {
        return nullptr;
    }
    static const ControlRect kBars[4] = {
        {3, 17, 3, 4}, {8, 13, 3, 8}, {13, 9, 3, 12}, {18, 5, 3, 16}};
    UniqueBrush mask(CreateSolidBrush(kMask));
    UniqueBrush lit(CreateSolidBrush(on));
    UniqueBrush unlit(CreateSolidBrush(off));
    for (int level = 0; level <= 4; ++level) {
        UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), side, side));
        if (!bitmap) {
            return nullptr;
        }
        {
            ScopedSelect select(memory.get(), bitmap.get());
            RECT all{0, 0, side, side};
            FillRect(memory.get(), &all, mask.get());
            for (int bar = 1; bar <= 4; ++bar) {
                const ControlRect r = ScaleRect(kBars[bar - 1], dpi);
                const RECT box{r.x, r.y, r.x + r.width, r.y + r.height};
                FillRect(memory.get(), &box, bar <= level ? lit.get() : unlit.get());
            }
        }
        ImageList_AddMasked(images.get(), bitmap.get(), kMask);
    }
    return images.release();
}

void SetUpScanListView(HWND list, const wchar_t* firstColumn, HIMAGELIST images) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    const wchar_t* titles[2] = {firstColumn, L"Signal"};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumnWidths[i];
        column.pszText = const_cast<wchar_t*>(titles[i]);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    if (images) {
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    }
}

void ScaleScanListView(HWND list, HIMAGELIST images, int dpi) {
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    for (int i = 0; i < 2; ++i) {
        SendMessageW(list, LVM_SETCOLUMNWIDTH, i, ScaleForDpi(kColumnWidths[i], dpi));
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

LRESULT OnScanListCustomDraw(NMLVCUSTOMDRAW& draw, bool systemColours, COLORREF text,
                             COLORREF background) {
    if (systemColours) {
        // The theme's own colours, selection highlight included.
        return CDRF_DODEFAULT;
    }
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            draw.clrText = text;
            draw.clrTextBk = background;
            return CDRF_NEWFONT;
        default:
            return CDRF_DODEFAULT;
    }
}
