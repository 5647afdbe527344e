#include "account/service_origin.h"

// The stand-in account service that the demo starts on this loopback port.
const wchar_t ServiceOrigin[] = L"http://127.0.0.1:47810";

// The stand-in update service of the update demonstration, with a test authority that only the
// demonstration's Wine prefix trusts.
const wchar_t UpdateServiceOrigin[] = L"https://localhost:47811";
