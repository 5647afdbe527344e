#include "account/service_origin.h"

// The stand-in account service that the demo starts on this loopback port.
const wchar_t ServiceOrigin[] = L"http://127.0.0.1:47810";
