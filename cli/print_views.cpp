#include "print_views.h"

const wchar_t* ResolvedPath(const Closure* closure, const wchar_t* name, int* notFound)
{
    int library = FindImport(closure, name);
    const wchar_t* path = library >= 0 ? closure->libraries[library].path : L"";
    if (!path[0])
        ++*notFound;
    return path;
}

void PrintReports(Printer* p, const wchar_t* fullPath, const ImageView* view, const Choice* choice)
{
    bool json = p->form == &JSON_FORM;
    for (int v = 0; v < REPORT_COUNT; ++v) {
        if (!choice->reports[v])
            continue;
        const ReportFormat* format = &REPORT_FORMATS[v];
        Report r;
        StartReport(&r, json ? &p->json : NULL, p->out);
        if (json) {
            Key(&p->json, format->key);
        } else {
            PutText(p->out, "-- ");
            PutText(p->out, format->option);
            PutChar(p->out, '\n');
        }
        format->put(&r, view, fullPath);
    }
}
