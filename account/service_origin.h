#pragma once

// The account service's origin (scheme, host, optional port), fixed when the program is built.
// Exactly one flavour's definition is linked into each program: the shipping one or the demo
// one that points at the local stand-in service.
extern const wchar_t ServiceOrigin[];

// Where the update service answers: the same origin as the account service in a release. The
// demo's account stand-in speaks plain HTTP, while updates are only ever fetched over TLS, so
// the demo names a loopback TLS origin of its own.
extern const wchar_t UpdateServiceOrigin[];
