// Which mitigations a binary is built with, each decided from its headers,
// load configuration, debug directory and certificate table, with the
// fields that decided it.
#pragma once
#include <windows.h>
#include "image_view.h"

enum Verdict { VERDICT_NO, VERDICT_YES, VERDICT_NOT_APPLICABLE };

enum MitigationId {
    MITIGATION_DYNAMIC_BASE,
    MITIGATION_HIGH_ENTROPY_VA,
    MITIGATION_NX_COMPAT,
    MITIGATION_FORCE_INTEGRITY,
    MITIGATION_CFG,
    MITIGATION_SAFE_SEH,
    MITIGATION_GS,
    MITIGATION_CET_COMPAT,
    MITIGATION_APPCONTAINER,
    MITIGATION_NO_ISOLATION,
    MITIGATION_SIGNED,
    MITIGATION_CHECKSUM,
    MITIGATION_COUNT
};

// "dynamic-base", "high-entropy-va", ...: the words of the views and of
// --require, in MitigationId order.
extern const char* const MITIGATION_WORDS[MITIGATION_COUNT];
// "yes", "no", "not-applicable", in Verdict order.
extern const char* const VERDICT_WORDS[3];

// Room for a reason, terminator included.
const int REASON_BYTES = 160;

struct Mitigation {
    Verdict verdict;
    char reason[REASON_BYTES];   // English, the deciding fields' values in it
};

void AssessHardening(const ImageView* view, Mitigation out[MITIGATION_COUNT]);
