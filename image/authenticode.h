// A PKCS#7 Authenticode signature of the certificate table: who signed,
// with which digest, whether a time stamp countersigns it, and whether the
// digest it signs is the file's. Decoded by the system's crypto API from
// the entry's bytes alone; the system's certificate store is not asked.
#pragma once
#include <windows.h>
#include "certificates.h"

enum TimeStampKind { TIME_STAMP_NONE, TIME_STAMP_AUTHENTICODE, TIME_STAMP_RFC3161 };

// Room for a distinguished name, terminator included.
const int SIGNER_NAME_UNITS = 512;

struct Authenticode {
    bool decoded;               // a signed message whose content is Authenticode's
    DWORD signers;
    wchar_t subject[SIGNER_NAME_UNITS];   // the first signer's certificate; empty when the message lacks it
    wchar_t issuer[SIGNER_NAME_UNITS];
    char serial[2 * 64 + 1];    // hexadecimal, most significant byte first; cut at 64 bytes
    const char* digestAlgorithm;   // "sha256", ...; null when not one the file can be hashed with
    BYTE signedDigest[MAX_DIGEST_BYTES];
    DWORD signedDigestSize;
    BYTE fileDigest[MAX_DIGEST_BYTES];
    DWORD fileDigestSize;       // 0 when the file could not be hashed
    bool digestMatches;
    TimeStampKind timeStamp;
};

// Decodes the PKCS#7 `data` of a certificate entry of `view` into `out`;
// false when it is no Authenticode signature (out->decoded false).
// The file's digests by algorithm, each computed once however many
// signatures in its table name it. Zeroed by the caller before the first use.
const int DIGEST_KIND_COUNT = 5;
struct FileDigests {
    bool tried[DIGEST_KIND_COUNT];
    DWORD size[DIGEST_KIND_COUNT];   // 0 when the file could not be hashed
    BYTE bytes[DIGEST_KIND_COUNT][MAX_DIGEST_BYTES];
};
bool ReadAuthenticode(const ImageView* view, const ByteSpan* data, FileDigests* digests, Authenticode* out);
