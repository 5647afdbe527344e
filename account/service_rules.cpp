#include "account/service_request.h"

bool BypassesProxy(const std::wstring& host) {
    return host == L"127.0.0.1" || host == L"localhost";
}

uint32_t OfferSecureProtocols(const std::function<bool(uint32_t)>& set) {
    // TLS 1.0 and 1.1 are deprecated and invite downgrades, so they are never offered.
    for (const uint32_t protocols : {kSecureProtocolsTls12And13, kSecureProtocolsTls12}) {
        if (set(protocols)) {
            return protocols;
        }
    }
    return 0;
}
