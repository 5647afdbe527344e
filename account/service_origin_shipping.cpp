#include "account/service_origin.h"

// The one value a release must set to the account service's real origin.
const wchar_t ServiceOrigin[] = L"https://connect.tervane.invalid";
const wchar_t UpdateServiceOrigin[] = L"https://connect.tervane.invalid";
