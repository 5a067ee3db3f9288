#include "manifest.h"
#include <string.h>
#include "manifest_text.h"

namespace {
enum Element { ELEMENT_OTHER, ELEMENT_DEPENDENCY, ELEMENT_DEPENDENT, ELEMENT_IDENTITY };
}

static Element WhichElement(const ManifestText* text, const ManifestTag* tag)
{
    if (IsTagName(text, tag, "dependency"))
        return ELEMENT_DEPENDENCY;
    if (IsTagName(text, tag, "dependentAssembly"))
        return ELEMENT_DEPENDENT;
    if (IsTagName(text, tag, "assemblyIdentity"))
        return ELEMENT_IDENTITY;
    return ELEMENT_OTHER;
}

static void ReadIdentity(const ManifestText* text, const ManifestTag* tag, AssemblyRef* identity)
{
    TagAttribute(text, tag, "name", identity->name, sizeof identity->name);
    TagAttribute(text, tag, "version", identity->version, sizeof identity->version);
    TagAttribute(text, tag, "processorArchitecture", identity->architecture, sizeof identity->architecture);
    TagAttribute(text, tag, "publicKeyToken", identity->publicKeyToken, sizeof identity->publicKeyToken);
    TagAttribute(text, tag, "language", identity->language, sizeof identity->language);
}

// One pass over the tags. Nesting is tracked by the two elements' own start
// and end tags alone, so that a malformed manifest costs no stack and still
// reads as far as it can. An identity counts once its tag is complete: a
// manifest cut anywhere gives the identities of the whole up to the cut.
int ReadManifestDependencies(const ByteSpan* bytes, AssemblyRef* out, int room)
{
    if (!bytes || !bytes->base || !out || room <= 0)
        return 0;
    ManifestText text;
    OpenManifestText(bytes, &text);
    bool inDependency = false, inDependent = false, taken = false;
    int found = 0;
    DWORD at = 0;
    ManifestTag tag;
    while (found < room && NextTag(&text, &at, &tag)) {
        Element element = WhichElement(&text, &tag);
        if (tag.kind == TAG_END) {
            if (element == ELEMENT_DEPENDENCY)
                inDependency = inDependent = false;
            else if (element == ELEMENT_DEPENDENT)
                inDependent = false;
            continue;
        }
        // A dependentAssembly names one assembly: its first identity.
        if (element == ELEMENT_IDENTITY && inDependent && !taken) {
            memset(&out[found], 0, sizeof out[found]);
            ReadIdentity(&text, &tag, &out[found++]);
            taken = true;
        }
        if (tag.kind == TAG_START && element == ELEMENT_DEPENDENCY) {
            inDependency = true;
        } else if (tag.kind == TAG_START && element == ELEMENT_DEPENDENT && inDependency) {
            inDependent = true;
            taken = false;
        }
    }
    return found;
}

// An element whose text is a fact: the first of its name counts.
static void TakeText(const ManifestText* text, const ManifestTag* tag, const char* local, char* field, size_t room)
{
    if (tag->kind == TAG_START && !field[0] && IsTagName(text, tag, local))
        ElementText(text, tag->end, field, room);
}

void ReadManifestFacts(const ByteSpan* bytes, ManifestFacts* out)
{
    memset(out, 0, sizeof *out);
    if (!bytes || !bytes->base)
        return;
    ManifestText text;
    OpenManifestText(bytes, &text);
    DWORD at = 0;
    ManifestTag tag;
    while (NextTag(&text, &at, &tag)) {
        if (tag.kind == TAG_END)
            continue;
        if (IsTagName(&text, &tag, "requestedExecutionLevel") && !out->executionLevel[0]) {
            TagAttribute(&text, &tag, "level", out->executionLevel, sizeof out->executionLevel);
            TagAttribute(&text, &tag, "uiAccess", out->uiAccess, sizeof out->uiAccess);
        } else if (IsTagName(&text, &tag, "supportedOS") && out->supportedOsCount < MAX_SUPPORTED_OS) {
            char* id = out->supportedOs[out->supportedOsCount];
            if (TagAttribute(&text, &tag, "Id", id, sizeof out->supportedOs[0]))
                ++out->supportedOsCount;
        }
        TakeText(&text, &tag, "dpiAware", out->dpiAware, sizeof out->dpiAware);
        TakeText(&text, &tag, "dpiAwareness", out->dpiAwareness, sizeof out->dpiAwareness);
        TakeText(&text, &tag, "longPathAware", out->longPathAware, sizeof out->longPathAware);
        TakeText(&text, &tag, "activeCodePage", out->activeCodePage, sizeof out->activeCodePage);
    }
    out->dependencyCount = ReadManifestDependencies(bytes, out->dependencies, MAX_ASSEMBLIES);
}
