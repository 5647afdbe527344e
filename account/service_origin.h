#pragma once

// The account service's origin (scheme, host, optional port), fixed when the program is built.
// Exactly one flavour's definition is linked into each program: the shipping one or the demo
// one that points at the local stand-in service.
extern const wchar_t ServiceOrigin[];
