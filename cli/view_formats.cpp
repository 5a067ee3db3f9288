#include "view_formats.h"
#include "report_views.h"

const ViewFormat VIEW_FORMATS[VIEW_COUNT] = {
    { VIEW_IMPORTS, "imports", "imports", true },
    { VIEW_DELAY_IMPORTS, "delay-imports", "delay_imports", true },
    { VIEW_EXPORTS, "exports", "exports", false },
    { VIEW_SECTIONS, "sections", "sections", false },
    { VIEW_SUMMARY, "summary", "headers", false },
    { VIEW_VERSION, "version", "version", false },
    { VIEW_STRINGS, "strings", "strings", false },
};

const ReportFormat REPORT_FORMATS[REPORT_COUNT] = {
    { REPORT_DEBUG, "debug", "debug", PutDebugReport },
    { REPORT_LOAD_CONFIG, "load-config", "load_config", PutLoadConfigReport },
    { REPORT_HARDENING, "hardening", "hardening", PutHardeningReport },
    { REPORT_SIGNATURE, "signature", "signature", PutSignatureReport },
    { REPORT_CLR, "clr", "clr", PutClrReport },
    { REPORT_MANIFEST, "manifest", "manifest", PutManifestReport },
};
