#include "view_formats.h"

const ViewFormat VIEW_FORMATS[VIEW_COUNT] = {
    { VIEW_IMPORTS, "imports", "imports", true },
    { VIEW_DELAY_IMPORTS, "delay-imports", "delay_imports", true },
    { VIEW_EXPORTS, "exports", "exports", false },
    { VIEW_SECTIONS, "sections", "sections", false },
    { VIEW_SUMMARY, "summary", "headers", false },
    { VIEW_VERSION, "version", "version", false },
    { VIEW_STRINGS, "strings", "strings", false },
};
