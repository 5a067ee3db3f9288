// The JSON form: {"format": N, "files": [...]}, an object per file with a key
// per view. Its values are data read from the image, not the viewer's texts:
// the same bytes in every language of the user interface.
#include "print_views.h"
#include "json_views.h"

// Told apart by scripts: raised whenever a key changes its meaning or goes.
static const int JSON_FORMAT = 1;

static void BeginFile(Printer* p, const wchar_t* file)
{
    if (!p->anyFile) {
        PutText(p->out, "{\"format\": ");
        PutNumber(p->out, JSON_FORMAT);
        PutText(p->out, ", \"files\": [\n{");
    } else {
        PutText(p->out, ",\n{");
    }
    p->anyFile = true;
    PutKey(p->out, "file");
    PutJsonString(p->out, file);
}

static void Failure(Printer* p, const wchar_t* file, const wchar_t* why)
{
    BeginFile(p, file);
    PutNextKey(p->out, "error");
    PutJsonString(p->out, why);
    PutChar(p->out, '}');
}

static void EndFile(Printer* p)
{
    PutChar(p->out, '}');
}

static void End(Printer* p)
{
    if (!p->anyFile) {
        PutText(p->out, "{\"format\": ");
        PutNumber(p->out, JSON_FORMAT);
        PutText(p->out, ", \"files\": [");
    }
    PutText(p->out, "\n]}\n");
}

const PrinterForm JSON_FORM = { BeginFile, Failure, EndFile, End };

bool PrintJsonViews(Printer* p, const wchar_t* file, const ImageView* view, const Choice* choice,
                    const Closure* closure, int* notFound)
{
    bool whole = true;
    p->form->beginFile(p, file);
    for (int v = 0; v < VIEW_COUNT; ++v) {
        if (!choice->shown[v])
            continue;
        PutText(p->out, ",\n  ");
        PutKey(p->out, VIEW_FORMATS[v].key);
        switch (VIEW_FORMATS[v].id) {
        case VIEW_IMPORTS: PutImports(p->out, view, false, closure, notFound); break;
        case VIEW_DELAY_IMPORTS: PutImports(p->out, view, true, closure, notFound); break;
        case VIEW_EXPORTS: whole = PutExports(p->out, view) && whole; break;
        case VIEW_SECTIONS: PutSections(p->out, view); break;
        case VIEW_SUMMARY: PutHeaders(p->out, view); break;
        case VIEW_VERSION: PutVersion(p->out, view); break;
        case VIEW_STRINGS: PutStrings(p->out, view); break;
        case VIEW_COUNT: break;
        }
    }
    p->form->endFile(p);
    return whole;
}
