#pragma once

#include <string>

// The configuration sent to a base unit as one custom-data message: comma-separated
// key="value" fields (ap_ssid, ap_password, username), UTF-8, with backslash and double quote
// escaped by a backslash and nothing else changed.

// True with the payload filled, or false with errorText holding the reason not to send.
bool BuildConfigurationPayload(const std::wstring& networkName, const std::wstring& password,
                               const std::wstring& username, std::string& payload,
                               std::wstring& errorText);

// The space class used for trimming: the characters the Windows C runtime's iswspace accepts
// (tab to carriage return, space, no-break space and the Unicode space separators; not U+0085
// or the zero-width characters), written out so both builds agree.
bool IsPayloadSpace(wchar_t ch);

std::wstring TrimWhitespace(const std::wstring& text);
std::string FormatPayloadField(const char* key, const std::wstring& value);
std::string EscapePayloadValue(const std::string& bytes);
