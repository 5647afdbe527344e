#include "blufi/configuration_payload.h"

#include "blufi/blufi_codec.h"
#include "common/text_conversion.h"

bool IsPayloadSpace(wchar_t ch) {
    const auto unit = static_cast<unsigned long>(ch);
    switch (unit) {
        case 0x0009: case 0x000A: case 0x000B: case 0x000C: case 0x000D:
        case 0x0020:
        case 0x00A0:
        case 0x1680:
        case 0x2028: case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return unit >= 0x2000 && unit <= 0x200A;
    }
}

std::wstring TrimWhitespace(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsPayloadSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsPayloadSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string EscapePayloadValue(const std::string& bytes) {
    std::string escaped;
    escaped.reserve(bytes.size());
    for (const char byte : bytes) {
        if (byte == '\\' || byte == '"') {
            escaped.push_back('\\');
        }
        escaped.push_back(byte);
    }
    return escaped;
}

std::string FormatPayloadField(const char* key, const std::wstring& value) {
    std::string field(key);
    field += "=\"";
    field += EscapePayloadValue(Utf16ToUtf8(value));
    field += '"';
    return field;
}

bool BuildConfigurationPayload(const std::wstring& networkName, const std::wstring& password,
                               const std::wstring& username, std::string& payload,
                               std::wstring& errorText) {
    payload.clear();
    errorText.clear();
    const std::wstring network = TrimWhitespace(networkName);
    const std::wstring& key = password;  // the password is sent exactly as typed
    const std::wstring user = TrimWhitespace(username);

    if (network.empty() != key.empty()) {
        errorText =
            L"The Wi-Fi network name and password must either both be entered or both be left "
            L"blank.";
        return false;
    }
    std::string built;
    if (!network.empty()) {
        built = FormatPayloadField("ap_ssid", network);
        built += ',';
        built += FormatPayloadField("ap_password", key);
        if (!user.empty()) {
            built += ',';
            built += FormatPayloadField("username", user);
        }
    } else if (user.empty()) {
        errorText = L"There is no configuration to send.";
        return false;
    } else {
        built = FormatPayloadField("username", user);
    }
    // The two-byte total-length field of a fragmented message cannot name more than this.
    if (built.size() > kBlufiMaxPayload) {
        errorText = L"The configuration is too long to send to the Tervane.";
        return false;
    }
    payload.swap(built);
    return true;
}
