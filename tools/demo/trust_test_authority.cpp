// Adds a test certificate authority (a DER file) to the machine root store of the Wine prefix
// it runs in, so the stand-in update service's certificate is trusted there and nowhere else.
//
//   trust_test_authority.exe AUTHORITY.der
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: trust_test_authority AUTHORITY.der\n");
        return 2;
    }
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fwprintf(stderr, L"cannot open %ls\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(64 * 1024);
    DWORD read = 0;
    const BOOL ok = ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok || read == 0 || read == der.size()) {
        std::fwprintf(stderr, L"cannot read a certificate from %ls\n", argv[1]);
        return 1;
    }
    const HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store == nullptr) {
        std::fwprintf(stderr, L"cannot open the root store\n");
        return 1;
    }
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), read,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
    if (!added) {
        std::fwprintf(stderr, L"the certificate was not accepted (0x%08lX)\n", GetLastError());
        return 1;
    }
    return 0;
}
