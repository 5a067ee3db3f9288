#include "authenticode.h"
#include <bcrypt.h>
#include <wincrypt.h>
#include <string.h>
#include "der.h"

static const DWORD ENCODING = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
// The content type of an Authenticode signature: SpcIndirectDataContent.
static const char INDIRECT_DATA_OID[] = "1.3.6.1.4.1.311.2.1.4";

// The digests an Authenticode signature names, by their algorithm's DER
// object identifier.
struct DigestKind {
    const char* word;
    const wchar_t* algorithm;   // BCrypt's name
    BYTE oidLength;
    BYTE oid[9];
};
static const DigestKind DIGESTS[DIGEST_KIND_COUNT] = {
    { "md5", BCRYPT_MD5_ALGORITHM, 8, { 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05 } },
    { "sha1", BCRYPT_SHA1_ALGORITHM, 5, { 0x2B, 0x0E, 0x03, 0x02, 0x1A } },
    { "sha256", BCRYPT_SHA256_ALGORITHM, 9, { 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01 } },
    { "sha384", BCRYPT_SHA384_ALGORITHM, 9, { 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02 } },
    { "sha512", BCRYPT_SHA512_ALGORITHM, 9, { 0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03 } },
};

// A message parameter, in memory the caller frees; null when absent.
static BYTE* MessageParam(HCRYPTMSG message, DWORD type, DWORD index, DWORD* size)
{
    *size = 0;
    if (!CryptMsgGetParam(message, type, index, NULL, size) || *size == 0)
        return NULL;
    BYTE* data = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, *size));
    if (data && !CryptMsgGetParam(message, type, index, data, size)) {
        HeapFree(GetProcessHeap(), 0, data);
        data = NULL;
    }
    return data;
}

// SpcIndirectDataContent: SEQUENCE { SEQUENCE data, SEQUENCE DigestInfo {
// SEQUENCE AlgorithmIdentifier { OID, ... }, OCTET STRING digest } }, maybe
// still inside the content's [0] wrapper.
static void ReadIndirectData(ByteSpan content, Authenticode* out)
{
    DerElement e, data, info, algorithm, oid, digest;
    if (!DerNext(&content, &e))
        return;
    ByteSpan wrapped = e.content;   // not read and written through one element
    if (e.tag == DER_CONTEXT_0 && !DerNext(&wrapped, &e))
        return;
    if (e.tag != DER_SEQUENCE || !DerNext(&e.content, &data) || !DerNext(&e.content, &info)
        || info.tag != DER_SEQUENCE || !DerNext(&info.content, &algorithm) || algorithm.tag != DER_SEQUENCE
        || !DerNext(&algorithm.content, &oid) || oid.tag != DER_OID || !DerNext(&info.content, &digest)
        || digest.tag != DER_OCTET_STRING || digest.content.size > MAX_DIGEST_BYTES)
        return;
    if (digest.content.size)
        memcpy(out->signedDigest, digest.content.base, digest.content.size);
    out->signedDigestSize = digest.content.size;
    for (const DigestKind& kind : DIGESTS) {
        if (oid.content.size == kind.oidLength && memcmp(oid.content.base, kind.oid, kind.oidLength) == 0)
            out->digestAlgorithm = kind.word;
    }
}

static void ReadSigner(HCRYPTMSG message, Authenticode* out)
{
    DWORD size;
    CMSG_SIGNER_INFO* signer = reinterpret_cast<CMSG_SIGNER_INFO*>(MessageParam(message, CMSG_SIGNER_INFO_PARAM, 0, &size));
    if (!signer)
        return;
    CertNameToStrW(X509_ASN_ENCODING, &signer->Issuer, CERT_X500_NAME_STR, out->issuer, SIGNER_NAME_UNITS);
    // Stored least significant byte first; the most significant 64 are kept.
    const CRYPT_INTEGER_BLOB* serial = &signer->SerialNumber;
    for (DWORD i = 0; i < serial->cbData && i < 64; ++i)
        wsprintfA(out->serial + 2 * i, "%02X", serial->pbData[serial->cbData - 1 - i]);
    for (DWORD i = 0; i < signer->UnauthAttrs.cAttr; ++i) {
        const char* oid = signer->UnauthAttrs.rgAttr[i].pszObjId;
        if (oid && strcmp(oid, szOID_RSA_counterSign) == 0)
            out->timeStamp = TIME_STAMP_AUTHENTICODE;
        else if (oid && strcmp(oid, "1.3.6.1.4.1.311.3.3.1") == 0 && out->timeStamp == TIME_STAMP_NONE)
            out->timeStamp = TIME_STAMP_RFC3161;
    }
    // The signer's certificate, from the message's own certificates only.
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MSG, ENCODING, 0, 0, message);
    if (store) {
        CERT_INFO wanted;
        ZeroMemory(&wanted, sizeof wanted);
        wanted.Issuer = signer->Issuer;
        wanted.SerialNumber = signer->SerialNumber;
        PCCERT_CONTEXT certificate = CertGetSubjectCertificateFromStore(store, ENCODING, &wanted);
        if (certificate) {
            CertNameToStrW(X509_ASN_ENCODING, &certificate->pCertInfo->Subject, CERT_X500_NAME_STR, out->subject,
                           SIGNER_NAME_UNITS);
            CertFreeCertificateContext(certificate);
        }
        CertCloseStore(store, 0);
    }
    HeapFree(GetProcessHeap(), 0, signer);
}

bool ReadAuthenticode(const ImageView* view, const ByteSpan* data, FileDigests* digests, Authenticode* out)
{
    ZeroMemory(out, sizeof *out);
    if (!data->base || data->size == 0)
        return false;
    HCRYPTMSG message = CryptMsgOpenToDecode(ENCODING, 0, 0, 0, NULL, NULL);
    if (!message)
        return false;
    DWORD size = 0;
    BYTE* type = NULL;
    if (CryptMsgUpdate(message, data->base, data->size, TRUE))
        type = MessageParam(message, CMSG_INNER_CONTENT_TYPE_PARAM, 0, &size);
    if (type && type[size - 1] == 0 && strcmp(reinterpret_cast<char*>(type), INDIRECT_DATA_OID) == 0) {
        out->decoded = true;
        DWORD count = 0, countSize = sizeof count;
        if (CryptMsgGetParam(message, CMSG_SIGNER_COUNT_PARAM, 0, &count, &countSize))
            out->signers = count;
        BYTE* content = MessageParam(message, CMSG_CONTENT_PARAM, 0, &size);
        if (content) {
            ByteSpan span = { content, size };
            ReadIndirectData(span, out);
            HeapFree(GetProcessHeap(), 0, content);
        }
        if (out->signers > 0)
            ReadSigner(message, out);
    }
    if (type)
        HeapFree(GetProcessHeap(), 0, type);
    CryptMsgClose(message);
    for (int k = 0; k < DIGEST_KIND_COUNT; ++k) {
        if (!out->decoded || out->digestAlgorithm != DIGESTS[k].word)
            continue;
        if (!digests->tried[k]) {
            digests->tried[k] = true;
            ComputeAuthenticodeDigest(view, DIGESTS[k].algorithm, digests->bytes[k], &digests->size[k]);
        }
        out->fileDigestSize = digests->size[k];
        memcpy(out->fileDigest, digests->bytes[k], digests->size[k]);
        out->digestMatches = out->fileDigestSize != 0 && out->fileDigestSize == out->signedDigestSize
                             && memcmp(out->fileDigest, out->signedDigest, out->fileDigestSize) == 0;
    }
    return out->decoded;
}
