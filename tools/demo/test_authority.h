#pragma once

// Trusts a test certificate authority (a DER file) in the machine root store of the Wine prefix
// it runs in, so the stand-in services' certificates are trusted there and nowhere else. False,
// with the reason, when the file or the store refuses.
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

inline bool TrustTestAuthorityFile(const std::wstring& path, std::wstring& problem) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    std::vector<BYTE> der(64 * 1024);
    DWORD read = 0;
    const BOOL ok = file != INVALID_HANDLE_VALUE &&
                    ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &read, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    if (!ok || read == 0 || read == der.size()) {
        problem = L"cannot read a certificate from " + path;
        return false;
    }
    const HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store == nullptr) {
        problem = L"cannot open the root store";
        return false;
    }
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), read,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        problem = L"the certificate was not accepted (error " + std::to_wstring(error) + L")";
    }
    return added != FALSE;
}
