#include "wizard/form_rules.h"

std::wstring LoginValidationMessage(const std::wstring& username, const std::wstring& password) {
    if (username.empty() && password.empty()) {
        return L"Please enter your username and password.";
    }
    if (username.empty()) {
        return L"Please enter your username.";
    }
    if (password.empty()) {
        return L"Please enter your password.";
    }
    return std::wstring();
}

ConfigureProblem CheckConfigureInput(const std::wstring& ssid, const std::wstring& password,
                                     bool usernameOnly) {
    if (usernameOnly) {
        return ConfigureProblem::None;
    }
    if (ssid.empty()) {
        return ConfigureProblem::MissingNetwork;
    }
    if (password.empty()) {
        return ConfigureProblem::MissingPassword;
    }
    return ConfigureProblem::None;
}

bool ShowButtonVisible(bool storedFlag, bool placeholderShown, size_t textLength) {
    return !storedFlag && !placeholderShown && textLength > 0;
}

bool TypedCharacterReplacesStored(bool storedFlag, unsigned ch, size_t textLength,
                                  size_t selectionStart, size_t selectionEnd) {
    return storedFlag && ch >= 32 && textLength > 0 && selectionStart == 0 &&
           selectionEnd == textLength;
}
