#pragma once

#include <cstddef>
#include <string>

// Input rules of the wizard's forms that do not depend on any window.

// The warning for a log-in attempt, or empty when both values are present.
std::wstring LoginValidationMessage(const std::wstring& username, const std::wstring& password);

enum class ConfigureProblem { None, MissingNetwork, MissingPassword };

// Username-only requests need neither value; full requests need both.
ConfigureProblem CheckConfigureInput(const std::wstring& ssid, const std::wstring& password,
                                     bool usernameOnly);

// A show-password button may appear only for text the person typed themselves: never for a
// stored value, never over the placeholder, never for an empty field.
bool ShowButtonVisible(bool storedFlag, bool placeholderShown, size_t textLength);

// A printable character typed over the whole of a stored password replaces it, so the field
// no longer holds the stored value.
bool TypedCharacterReplacesStored(bool storedFlag, unsigned ch, size_t textLength,
                                  size_t selectionStart, size_t selectionEnd);
