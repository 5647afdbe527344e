#pragma once

#include <string>

// Wraps one argument in double quotes so that the Windows command-line splitting
// (CommandLineToArgvW, the C runtime) gives back exactly this text as one argument:
// backslashes are doubled only where they precede a double quote or the closing quote, and
// every double quote gets a backslash.
std::wstring QuoteArgument(const std::wstring& text);
