#pragma once

#include <string>

// UTF-16 <-> UTF-8 conversions used for every wire format. Neither ever fails: ill-formed input
// becomes U+FFFD, the way the Windows conversion (code page 65001, no strict flag) does it.
//
// In portable code built on Linux wchar_t is 32 bits wide; each element is still one UTF-16
// code unit, and an element above 0xFFFF (impossible on Windows) converts as one U+FFFD.

std::string Utf16ToUtf8(const std::wstring& text);
std::wstring Utf8ToUtf16(const std::string& bytes);
