#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One synchronous HTTP exchange with the account service: any status counts as success here;
// only transport failures, a missing status, a read failure or a body over 1,048,576 bytes
// fail, each with its own sentence. Outputs are cleared first. Blocks for up to the time-outs,
// so it runs on worker threads only.

struct ServiceTimeouts {
    int resolveMs = 10000;
    int connectMs = 10000;
    int sendMs = 30000;
    int receiveMs = 30000;
};

constexpr size_t kMaxServiceResponseBytes = 0x100000;

// Against the built-in service origin.
bool SendServiceRequest(const std::wstring& verb, const std::wstring& path,
                        const std::wstring& authorization, const std::string& body,
                        uint32_t& status, std::string& responseBody, std::wstring& errorText);

// The same exchange against any origin, for the stand-in service in tests.
bool SendServiceRequestTo(const wchar_t* origin, const std::wstring& verb, const std::wstring& path,
                          const std::wstring& authorization, const std::string& body,
                          uint32_t& status, std::string& responseBody, std::wstring& errorText,
                          const ServiceTimeouts& timeouts = ServiceTimeouts());

// Offers TLS 1.2 and 1.3 through the setter, or TLS 1.2 alone where that is refused; gives the
// value taken, or 0 when the setter took neither.
uint32_t OfferSecureProtocols(const std::function<bool(uint32_t)>& set);

constexpr uint32_t kSecureProtocolsTls12 = 0x00000800;
constexpr uint32_t kSecureProtocolsTls12And13 = 0x00002800;

// Only these two exact host names skip the system's proxy settings.
bool BypassesProxy(const std::wstring& host);
