// The JSON form: {"format": N, "files": [...]}, an object per file with a key
// per view. Its values are data read from the image, not the viewer's texts:
// the same bytes in every language of the user interface.
#include "print_views.h"
#include "json_views.h"

// Told apart by scripts: raised whenever a key changes its meaning or goes.
static const int JSON_FORMAT = 1;

static void BeginDocument(Printer* p)
{
    if (p->anyFile)
        return;
    p->anyFile = true;
    StartJson(&p->json, p->out);
    BeginObject(&p->json, JSON_INLINE);
    NumberField(&p->json, "format", JSON_FORMAT);
    Key(&p->json, "files");
    BeginArray(&p->json, JSON_BLOCK);
}

static void BeginFile(Printer* p, const wchar_t* file)
{
    BeginDocument(p);
    BeginObject(&p->json, JSON_LINES_AFTER_FIRST);
    Key(&p->json, "file");
    StringValue(&p->json, file);
}

static void Failure(Printer* p, const wchar_t* file, const wchar_t* why)
{
    BeginDocument(p);
    BeginObject(&p->json, JSON_INLINE);
    Key(&p->json, "file");
    StringValue(&p->json, file);
    Key(&p->json, "error");
    StringValue(&p->json, why);
    EndScope(&p->json);
}

static void EndFile(Printer* p)
{
    EndScope(&p->json);
}

static void End(Printer* p)
{
    BeginDocument(p);
    EndScope(&p->json);   // the files
    EndScope(&p->json);   // the document
    PutChar(p->out, '\n');
}

const PrinterForm JSON_FORM = { BeginFile, Failure, EndFile, End };

bool PrintJsonViews(Printer* p, const wchar_t* file, const wchar_t* fullPath, const ImageView* view,
                    const Choice* choice, const Closure* closure, int* notFound)
{
    bool whole = true;
    p->form->beginFile(p, file);
    JsonWriter* w = &p->json;
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!choice->shown[v])
            continue;
        Key(w, VIEW_FORMATS[v].key);
        switch (VIEW_FORMATS[v].id) {
        case VIEW_IMPORTS: PutImports(w, view, false, closure, notFound); break;
        case VIEW_DELAY_IMPORTS: PutImports(w, view, true, closure, notFound); break;
        case VIEW_EXPORTS: whole = PutExports(w, view) && whole; break;
        case VIEW_SECTIONS: PutSections(w, view); break;
        case VIEW_SUMMARY: PutHeaders(w, view); break;
        case VIEW_VERSION: PutVersion(w, view); break;
        case VIEW_STRINGS: PutStrings(w, view); break;
        case VIEW_COUNT: break;
        }
    }
    PrintReports(p, fullPath, view, choice);
    p->form->endFile(p);
    return whole;
}
