#include "update/command_line_quoting.h"

std::wstring QuoteArgument(const std::wstring& text) {
    std::wstring quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back(L'"');
    size_t backslashes = 0;
    for (const wchar_t ch : text) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        if (ch == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(ch);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}
