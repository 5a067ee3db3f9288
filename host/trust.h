// Whether the running system trusts a file's signature: its own answer, from
// its own certificate stores, asked without a network and without a window.
#pragma once
#include <windows.h>

enum TrustAnswer { TRUST_TRUSTED, TRUST_UNTRUSTED, TRUST_UNKNOWN };

// "trusted", "untrusted", "unknown", in TrustAnswer order.
extern const char* const TRUST_WORDS[3];

// Asks WinVerifyTrust of the file at `path`; `*status` is its raw answer.
// Unknown where the answer says the system could not decide (an offline
// revocation or chain check, an unknown provider or form).
TrustAnswer SystemTrust(const wchar_t* path, LONG* status);
