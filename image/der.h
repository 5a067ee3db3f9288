// Reading DER, the encoding of the signature's structures, as far as the
// digest of the signed content needs: one element at a time, each bounded by
// the element around it.
#pragma once
#include <windows.h>
#include "byte_span.h"

struct DerElement {
    BYTE tag;
    ByteSpan content;
};

// Takes the element at the front of `*in` and moves `*in` past it; false
// when what is there is no element that lies wholly inside (indefinite
// lengths included, which DER does not allow).
bool DerNext(ByteSpan* in, DerElement* out);

const BYTE DER_SEQUENCE = 0x30;
const BYTE DER_OCTET_STRING = 0x04;
const BYTE DER_OID = 0x06;
const BYTE DER_CONTEXT_0 = 0xA0;
