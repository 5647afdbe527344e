#pragma once

// SHA-256 fingerprint (of the DER bytes, lower-case hex) of the certificate that must sign
// every installer, fixed when the program is built. Empty in an unconfigured build, which then
// refuses every update.
extern const wchar_t PINNED_SIGNER_SHA256[];
