// The hardening and signature views: a verdict per mitigation with its
// reason, and the certificate table with what its Authenticode signature
// says, the file's own digest beside the signed one.
#include "report_views.h"
#include "host/trust.h"
#include "image/authenticode.h"
#include "image/hardening.h"

static const Word REVISIONS[] = { { 0x0100, "1.0" }, { 0x0200, "2.0" } };
static const Word CERTIFICATE_TYPES[] = {
    { 1, "x509" }, { CERTIFICATE_PKCS_SIGNED_DATA, "pkcs-signed-data" }, { 3, "reserved-1" }, { 4, "ts-stack-signed" },
    { 0x0EF0, "efi-guid" }, { 0x0EF1, "efi-pkcs115" },
};
static const Word TIME_STAMPS[] = {
    { TIME_STAMP_AUTHENTICODE, "authenticode" }, { TIME_STAMP_RFC3161, "rfc3161" },
};

void PutHardeningReport(Report* r, const ImageView* view, const wchar_t*)
{
    Mitigation verdicts[MITIGATION_COUNT];
    AssessHardening(view, verdicts);
    ReportObject(r, NULL);
    for (int m = 0; m < MITIGATION_COUNT; ++m) {
        ReportRow(r, MITIGATION_WORDS[m]);
        ReportWord(r, "verdict", VERDICT_WORDS[verdicts[m].verdict]);
        ReportAscii(r, "reason", verdicts[m].reason);
        ReportEnd(r);
    }
    ReportEnd(r);
}

// A digest in lower-case hexadecimal.
static void PutDigest(Report* r, const char* key, const BYTE* digest, DWORD size)
{
    char text[2 * MAX_DIGEST_BYTES + 1];
    for (DWORD i = 0; i < size && i < MAX_DIGEST_BYTES; ++i)
        wsprintfA(text + 2 * i, "%02x", digest[i]);
    text[2 * (size < MAX_DIGEST_BYTES ? size : MAX_DIGEST_BYTES)] = '\0';
    ReportAscii(r, key, text);
}

static void PutAuthenticode(Report* r, const Authenticode* a)
{
    ReportRow(r, "authenticode");
    ReportNumber(r, "signers", a->signers);
    ReportText(r, "subject", a->subject[0] ? a->subject : NULL);
    ReportText(r, "issuer", a->issuer[0] ? a->issuer : NULL);
    ReportAscii(r, "serial", a->serial);
    ReportWord(r, "digest_algorithm", a->digestAlgorithm);
    PutDigest(r, "signed_digest", a->signedDigest, a->signedDigestSize);
    PutDigest(r, "file_digest", a->fileDigest, a->fileDigestSize);
    ReportBool(r, "digest_matches", a->digestMatches);
    ReportWord(r, "time_stamp", a->timeStamp == TIME_STAMP_NONE ? NULL : WordOf(a->timeStamp, WORDS(TIME_STAMPS)));
    ReportEnd(r);
}

namespace {
struct SignatureWalk {
    Report* r;
    const ImageView* view;
    FileDigests digests;
};
}

static bool PutCertificate(void* context, const CertificateEntry* entry)
{
    SignatureWalk* walk = static_cast<SignatureWalk*>(context);
    Report* r = walk->r;
    ReportRow(r, NULL);
    ReportHex(r, "offset", entry->offset);
    ReportNumber(r, "length", entry->length);
    ReportEnum(r, "revision", entry->revision, WORDS(REVISIONS));
    ReportHex(r, "revision_raw", entry->revision);
    ReportEnum(r, "type", entry->type, WORDS(CERTIFICATE_TYPES));
    ReportNumber(r, "type_raw", entry->type);
    Authenticode signature;
    if (entry->type == CERTIFICATE_PKCS_SIGNED_DATA && ReadAuthenticode(walk->view, &entry->data, &walk->digests, &signature))
        PutAuthenticode(r, &signature);
    else
        ReportNull(r, "authenticode");
    ReportEnd(r);
    return true;
}

void PutSignatureReport(Report* r, const ImageView* view, const wchar_t* path)
{
    CertificateTable table;
    if (!ReadCertificateTable(view, &table)) {
        ReportNull(r, NULL);
        return;
    }
    ReportObject(r, NULL);
    ReportHex(r, "offset", table.offset);
    ReportNumber(r, "size", table.size);
    ReportBool(r, "inside_file", table.bytes.size == table.size);
    ReportList(r, "certificates", false);
    SignatureWalk walk = { r, view, {} };
    WalkCertificates(&table, PutCertificate, &walk);
    ReportEnd(r);
    LONG status;
    TrustAnswer trust = SystemTrust(path, &status);
    ReportWord(r, "trust", TRUST_WORDS[trust]);
    ReportHex(r, "trust_status", static_cast<DWORD>(status));
    ReportEnd(r);
}
