#pragma once

#include <cstdint>
#include <string>

// Just enough JSON for the account and update services: one escaping routine for the request
// body, and readers that pull one string or unsigned member out of a response's top-level
// object. A key only ever matches a member name of that object, never a value or a nested
// member, so a username such as "token" cannot shadow the real field.
//
// Two reader families differ on purpose: FindJsonString (account service) skips only space,
// tab, CR and LF and leaves its output empty on failure; ReadJsonStringField and
// ReadJsonUnsignedField (update metadata) also skip vertical tab and form feed, and the string
// reader leaves whatever it decoded before a malformed escape in its output.

// The bytes escaped for use between the quotes of a JSON string; UTF-8 passes through.
std::string EscapeJsonString(const std::string& utf8);

bool FindJsonString(const std::string& json, const char* key, std::string& value);

// The service's "detail", "error" or "message" text, else "Tervane server returned HTTP <n>."
std::wstring ExtractServiceError(const std::string& json, uint32_t status);

bool ReadJsonStringField(const std::string& json, const char* key, std::string& value);
bool ReadJsonUnsignedField(const std::string& json, const char* key, uint64_t& value);
