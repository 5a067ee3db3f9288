#include "trust.h"
#include <softpub.h>
#include <wintrust.h>

const char* const TRUST_WORDS[3] = { "trusted", "untrusted", "unknown" };

// Answers that decide against the file; any other failure is the system
// being unable to say.
static const LONG UNTRUSTED[] = {
    TRUST_E_NOSIGNATURE, TRUST_E_BAD_DIGEST, TRUST_E_SUBJECT_NOT_TRUSTED, TRUST_E_EXPLICIT_DISTRUST,
    TRUST_E_CERT_SIGNATURE, CERT_E_UNTRUSTEDROOT, CERT_E_REVOKED, CERT_E_EXPIRED, CERT_E_WRONG_USAGE,
    CRYPT_E_SECURITY_SETTINGS, static_cast<LONG>(CERT_E_UNTRUSTEDTESTROOT),
};

TrustAnswer SystemTrust(const wchar_t* path, LONG* status)
{
    WINTRUST_FILE_INFO file;
    ZeroMemory(&file, sizeof file);
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path;
    WINTRUST_DATA data;
    ZeroMemory(&data, sizeof data);
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    *status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (*status == ERROR_SUCCESS)
        return TRUST_TRUSTED;
    for (LONG answer : UNTRUSTED) {
        if (*status == answer)
            return TRUST_UNTRUSTED;
    }
    return TRUST_UNKNOWN;
}
