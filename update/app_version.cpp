#include "update/update_info.h"

#ifndef TERVANE_APP_VERSION
#error "TERVANE_APP_VERSION must be defined as the version text, e.g. \"1.0.0\""
#endif

#define TERVANE_WIDEN_TEXT(text) L##text
#define TERVANE_WIDE(text) TERVANE_WIDEN_TEXT(text)

const wchar_t APP_VERSION[] = TERVANE_WIDE(TERVANE_APP_VERSION);
const wchar_t kUpdateUserAgent[] = L"TervaneConfig/" TERVANE_WIDE(TERVANE_APP_VERSION);
