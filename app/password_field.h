#pragma once

#include <windows.h>

// The dot a masked password field shows for each character.
constexpr wchar_t kMaskCharacter = 0x25CF;

// Writes over the field's own copy of a password before the text is replaced, so the control's
// buffer does not keep it.
void OverwriteFieldText(HWND field);

void SetPasswordStyle(HWND field, bool masked);
