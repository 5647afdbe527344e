#pragma once

#include <string>

// The conversions as the Windows system conversion (code page 65001, flags 0) performs them,
// written out for builds without it. Compiled on Windows too, where a test holds them against
// the system's results.

std::string PortableUtf16ToUtf8(const std::wstring& text);
std::wstring PortableUtf8ToUtf16(const std::string& bytes);
