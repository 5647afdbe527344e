#include "account/service_request.h"

bool BypassesProxy(const std::wstring& host) {
    return host == L"127.0.0.1" || host == L"localhost";
}
