// The companion's own views, beside the viewer's seven: each written through
// a Report, in text or JSON, and each null (in the text, no lines) when the
// image lacks what it shows.
#pragma once
#include <windows.h>
#include "image/image_view.h"
#include "report.h"

enum ReportId { REPORT_DEBUG, REPORT_LOAD_CONFIG, REPORT_HARDENING, REPORT_SIGNATURE, REPORT_CLR, REPORT_MANIFEST,
                REPORT_COUNT };

struct ReportFormat {
    ReportId id;
    const char* option;   // --view NAME, and "-- NAME" in the text
    const char* key;      // its key in the JSON
    void (*put)(Report* r, const ImageView* view, const wchar_t* path);
};

extern const ReportFormat REPORT_FORMATS[REPORT_COUNT];

// `path` is the file's full path (the signature's trust is asked of the file).
void PutDebugReport(Report* r, const ImageView* view, const wchar_t* path);
void PutLoadConfigReport(Report* r, const ImageView* view, const wchar_t* path);
void PutHardeningReport(Report* r, const ImageView* view, const wchar_t* path);
void PutSignatureReport(Report* r, const ImageView* view, const wchar_t* path);
void PutClrReport(Report* r, const ImageView* view, const wchar_t* path);
void PutManifestReport(Report* r, const ImageView* view, const wchar_t* path);
