#include "ble/flat_text.h"

#include <algorithm>
#include <cwchar>

std::wstring HresultSentence(const wchar_t* fixedText, uint32_t hresult) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text = fixedText;
    text += L" (0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += kDigits[(hresult >> shift) & 0xF];
    }
    text += L')';
    return text;
}

std::wstring PlainSentence(const wchar_t* fixedText) {
    return std::wstring(fixedText) + L".";
}

void CopyToErrorBuffer(const std::wstring& message, wchar_t* buffer, int capacity) {
    if (buffer == nullptr || capacity < 1) {
        return;
    }
    buffer[0] = L'\0';
    const size_t count = std::min(message.size(), static_cast<size_t>(capacity - 1));
    std::copy_n(message.data(), count, buffer);
    buffer[count] = L'\0';
}

std::wstring TextOfBuffer(const wchar_t* buffer, int capacity) {
    if (buffer == nullptr || capacity < 1) {
        return {};
    }
    const wchar_t* end = std::find(buffer, buffer + capacity, L'\0');
    return std::wstring(buffer, end);
}
