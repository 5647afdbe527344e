#pragma once

#include <string>

// UTF-8 to UTF-16 that refuses instead of repairing: ill-formed input (a stray continuation
// byte, a cut-short sequence, an overlong form, an encoded surrogate, a value above U+10FFFF)
// gives empty text, as does empty input. The update metadata uses it so that a damaged field
// fails validation rather than passing with replacement characters in it.
std::wstring StrictUtf8ToUtf16(const std::string& bytes);

// The same rule written out for builds without the system conversion; compiled on Windows too,
// where a test holds it against the system's results.
std::wstring PortableStrictUtf8ToUtf16(const std::string& bytes);
