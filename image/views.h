// The seven views. Each appends rows to its own sink, which the caller has
// emptied (the header summary only rewrites the value column of the rows
// AddSummaryLabels made), and reads the file only through the accessors of
// image_view.h. Texts of the program's own (labels, totals) come from
// `resources`.
#pragma once
#include <windows.h>
#include "image_view.h"
#include "row_sink.h"

// The views in tab order.
enum ViewId {
    VIEW_IMPORTS,
    VIEW_DELAY_IMPORTS,
    VIEW_EXPORTS,
    VIEW_SECTIONS,
    VIEW_SUMMARY,
    VIEW_VERSION,
    VIEW_STRINGS,
    VIEW_COUNT,
};
// The columns of each view's rows, by ViewId.
extern const int VIEW_COLUMNS[VIEW_COUNT];

void ShowSections(const RowSink* sink, HMODULE resources, const ImageView* view);
// PE32 tables when view->is64 is false, PE32+ tables otherwise.
void ShowImports(const RowSink* sink, const ImageView* view);
void ShowDelayImports(const RowSink* sink, const ImageView* view);
void ShowExports(const RowSink* sink, const ImageView* view);
// The summary's fourteen rows with their labels and empty values.
void AddSummaryLabels(const RowSink* sink, HMODULE resources);
void ShowHeaderSummary(const RowSink* sink, HMODULE resources, const ImageView* view);
void ShowVersionInfo(const RowSink* sink, HMODULE resources, const ImageView* view);
// Strings are given whole, up to 65,535 units; a text ends early at a NUL.
void ShowStringTables(const RowSink* sink, const ImageView* view);

// All seven views of an image that InitImageView accepted, each into
// sinks[its ViewId], in the viewer's order: sections first, so that the
// section index is built once for all.
void ShowViews(const RowSink sinks[VIEW_COUNT], HMODULE resources, ImageView* view);
