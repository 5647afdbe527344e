#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "ble/ble_backend.h"

// The two report-view lists: columns, signal images, rows and their colours.

// Five 24 x 24 images, index = signal level; null when the list cannot be made.
HIMAGELIST BuildSignalImageList();

void SetUpScanListView(HWND list, const wchar_t* firstColumn, HIMAGELIST images);
void FillBaseUnitList(HWND list, const std::vector<BaseUnitInfo>& units);
void FillWifiList(HWND list, const std::vector<WifiNetwork>& networks);

// The selected row, or -1.
int SelectedRow(HWND list);

// Answer to NM_CUSTOMDRAW from either list.
LRESULT OnScanListCustomDraw(NMLVCUSTOMDRAW& draw);
