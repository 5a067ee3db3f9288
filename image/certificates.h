// The certificate table (the security directory, whose address is a file
// offset, not an RVA) and the Authenticode digest of the file it signs.
#pragma once
#include <windows.h>
#include "image_view.h"

struct CertificateTable {
    DWORD offset, size;   // as the directory declares them
    ByteSpan bytes;       // the part that lies inside the file
};

// False when the image declares no certificate table.
bool ReadCertificateTable(const ImageView* view, CertificateTable* out);

// wCertificateType of an Authenticode signature.
const WORD CERTIFICATE_PKCS_SIGNED_DATA = 2;

struct CertificateEntry {
    DWORD offset;         // in the file
    DWORD length;         // dwLength: the 8-byte header included
    WORD revision;
    WORD type;
    ByteSpan data;        // bCertificate, cut to the table and the file
};

// Calls `each` for every WIN_CERTIFICATE of the table, each starting on an
// 8-byte boundary after the last; stops at an entry shorter than its header
// or that leaves the table, or when `each` returns false.
void WalkCertificates(const CertificateTable* table, bool (*each)(void* context, const CertificateEntry* entry),
                      void* context);

// The largest digest the file is hashed with (SHA-512).
const DWORD MAX_DIGEST_BYTES = 64;

// The file's Authenticode digest with `algorithm` (a BCrypt algorithm name):
// every byte up to the certificate table (or to the end of the file when it
// has none there), but for the checksum and the security directory's entry.
// False when the system lacks the algorithm.
bool ComputeAuthenticodeDigest(const ImageView* view, const wchar_t* algorithm, BYTE* digest, DWORD* size);
