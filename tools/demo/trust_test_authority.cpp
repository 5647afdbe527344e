// Trusts a test certificate authority in the Wine prefix it runs in.
//
//   trust_test_authority.exe AUTHORITY.der
#include <cstdio>

#include "tools/demo/test_authority.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: trust_test_authority AUTHORITY.der\n");
        return 2;
    }
    std::wstring problem;
    if (!TrustTestAuthorityFile(argv[1], problem)) {
        std::fwprintf(stderr, L"%ls\n", problem.c_str());
        return 1;
    }
    return 0;
}
