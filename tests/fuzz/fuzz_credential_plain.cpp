// The credential file's plain content as it comes out of unprotection: any bytes, never a read
// past them, and whatever parses encodes back to the bytes it was read from.

#include "account/credential_layout.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring username = L"stale", password = L"stale";
    if (!ParseCredentialPlain(data, size, username, password)) {
        Check(username.empty() && password.empty());
        return 0;
    }
    Check(!username.empty() && !password.empty());
    Check(2 * (username.size() + password.size() + 2) <= size);
    std::string plain;
    Check(EncodeCredentialPlain(username, password, plain));
    Check(plain.size() <= size);
    Check(plain.compare(0, plain.size(), reinterpret_cast<const char*>(data), plain.size()) == 0);
    return 0;
}
