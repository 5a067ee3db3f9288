#include "view_formats.h"

#define COUNTED(table) table, static_cast<int>(sizeof table / sizeof table[0])

static const Field NAMED_NUMBER[] = { { "number", 0 }, { "name", 1 } };
static const Field SECTION[] = { { "name", 0 }, { "size", 1 }, { "raw_size", 2 }, { "attributes", 3 } };
static const Field TOTAL[] = { { "label", 0 }, { "size", 1 }, { "raw_size", 2 } };
static const Field VERSION_VALUE[] = { { "name", 0 }, { "value", 1 } };
static const Field STRING[] = { { "id", 0 }, { "text", 1 } };

// The header summary's rows, in order.
static const char* const SUMMARY_KEYS[] = {
    "file_type", "program_type", "date", "time", "size", "base_address", "section_alignment",
    "file_alignment", "system_version", "image_version", "subsystem_version", "linker_version",
    "stack_reserve_commit", "heap_reserve_commit",
};

const ViewFormat VIEW_FORMATS[VIEW_COUNT] = {
    { VIEW_IMPORTS, "imports", "imports", SHAPE_GROUPS, true, "library", "functions", COUNTED(NAMED_NUMBER), NULL, 0,
      NULL, 0 },
    { VIEW_DELAY_IMPORTS, "delay-imports", "delay_imports", SHAPE_GROUPS, true, "library", "functions",
      COUNTED(NAMED_NUMBER), NULL, 0, NULL, 0 },
    { VIEW_EXPORTS, "exports", "exports", SHAPE_ROWS, false, NULL, NULL, COUNTED(NAMED_NUMBER), NULL, 0, NULL, 0 },
    { VIEW_SECTIONS, "sections", "sections", SHAPE_SECTIONS, false, NULL, NULL, COUNTED(SECTION), COUNTED(TOTAL),
      NULL, 0 },
    { VIEW_SUMMARY, "summary", "summary", SHAPE_SUMMARY, false, NULL, NULL, NULL, 0, NULL, 0, COUNTED(SUMMARY_KEYS) },
    { VIEW_VERSION, "version", "version", SHAPE_GROUPS, false, "language", "values", COUNTED(VERSION_VALUE), NULL, 0,
      NULL, 0 },
    { VIEW_STRINGS, "strings", "strings", SHAPE_GROUPS, false, "language", "strings", COUNTED(STRING), NULL, 0, NULL,
      0 },
};
