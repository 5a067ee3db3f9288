#include "certificates.h"
#include <bcrypt.h>
#include <string.h>

bool ReadCertificateTable(const ImageView* view, CertificateTable* out)
{
    ZeroMemory(out, sizeof *out);
    out->offset = DataDirectoryRva(view, IMAGE_DIRECTORY_ENTRY_SECURITY);
    out->size = DataDirectorySize(view, IMAGE_DIRECTORY_ENTRY_SECURITY);
    if (out->offset == 0 || out->size == 0)
        return false;
    const BYTE* at = SpanAt(view, out->offset, 0);
    DWORD left = BytesLeft(view, at);
    out->bytes.base = left ? at : NULL;
    out->bytes.size = out->size < left ? out->size : left;
    return true;
}

void WalkCertificates(const CertificateTable* table, bool (*each)(void* context, const CertificateEntry* entry),
                      void* context)
{
    const ByteSpan* bytes = &table->bytes;
    DWORD at = 0;
    while (SpanAt(bytes, at, 8)) {
        CertificateEntry entry;
        entry.offset = table->offset + at;
        ReadDword(bytes, bytes->base + at, &entry.length);
        ReadWord(bytes, bytes->base + at + 4, &entry.revision);
        ReadWord(bytes, bytes->base + at + 6, &entry.type);
        if (entry.length < 8)
            return;
        DWORD left = BytesLeft(bytes, bytes->base + at + 8);
        entry.data.base = left ? bytes->base + at + 8 : NULL;
        entry.data.size = entry.length - 8 < left ? entry.length - 8 : left;
        if (!each(context, &entry) || entry.length > bytes->size - at)
            return;
        DWORD next = at + entry.length;   // no wrap: the entry lies inside
        next += (8 - next % 8) % 8;
        if (next <= at)
            return;
        at = next;
    }
}

// Hashes [from, to) of the file, both cut to `end` (at most its size).
static bool HashRange(BCRYPT_HASH_HANDLE hash, const ImageView* view, DWORD from, DWORD to, DWORD end)
{
    if (to > end)
        to = end;
    if (from >= to)
        return true;
    return BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<BYTE*>(view->base + from), to - from, 0));
}

bool ComputeAuthenticodeDigest(const ImageView* view, const wchar_t* algorithm, BYTE* digest, DWORD* size)
{
    *size = 0;
    BCRYPT_ALG_HANDLE provider;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&provider, algorithm, NULL, 0)))
        return false;
    DWORD length = 0, got = 0;
    BCRYPT_HASH_HANDLE hash = NULL;
    bool done = BCRYPT_SUCCESS(BCryptGetProperty(provider, BCRYPT_HASH_LENGTH, reinterpret_cast<BYTE*>(&length),
                                                 sizeof length, &got, 0))
                && length <= MAX_DIGEST_BYTES
                && BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, NULL, 0, NULL, 0, 0));
    if (done) {
        DWORD nt = static_cast<DWORD>(view->nt - view->base);
        DWORD checksum = nt + NT_OPTIONAL(view, CheckSum);
        DWORD directory = nt + DataDirectoryOffset(view, IMAGE_DIRECTORY_ENTRY_SECURITY);
        CertificateTable table;
        DWORD end = ReadCertificateTable(view, &table) && table.bytes.base ? table.offset : view->size;
        // The directory's entry lies past the checksum; both are skipped
        // where they lie before the end.
        DWORD skipped = directory < end && end - directory >= 8 ? directory : end;
        done = HashRange(hash, view, 0, checksum, end) && HashRange(hash, view, checksum + 4, skipped, end)
               && (skipped == end || HashRange(hash, view, skipped + 8, end, end))
               && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, length, 0));
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(provider, 0);
    if (done)
        *size = length;
    return done;
}
