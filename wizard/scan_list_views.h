#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "ble/ble_backend.h"

// The two report-view lists: columns, signal images, rows and their colours.

// Five images, index = signal level, 24 x 24 at 96 DPI and in proportion at others, in the
// given bar colours; null when the list cannot be made.
HIMAGELIST BuildSignalImageList(int dpi, COLORREF on, COLORREF off);

void SetUpScanListView(HWND list, const wchar_t* firstColumn, HIMAGELIST images);
// Images and column widths for the window's DPI.
void ScaleScanListView(HWND list, HIMAGELIST images, int dpi);
void FillBaseUnitList(HWND list, const std::vector<BaseUnitInfo>& units);
void FillWifiList(HWND list, const std::vector<WifiNetwork>& networks);

// The selected row, or -1.
int SelectedRow(HWND list);

// Answer to NM_CUSTOMDRAW from either list: rows in these colours, or in the system's.
LRESULT OnScanListCustomDraw(NMLVCUSTOMDRAW& draw, bool systemColours, COLORREF text,
                             COLORREF background);
