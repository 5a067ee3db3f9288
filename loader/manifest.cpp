#include "manifest.h"
#include <string.h>

// The manifest as a run of characters whatever its encoding, read one at a
// time and never stored: UTF-16 is read unit by unit. Every character past
// ASCII reads as 0x7F, which counts as a name character (as XML's letters
// past ASCII do) but is none of the marks the reading looks for.
namespace {
struct Text {
    ByteSpan bytes;   // past any byte-order mark
    DWORD length;     // characters
    bool wide;        // UTF-16 LE
};

enum TagEnd { TAG_OPEN, TAG_EMPTY, TAG_BROKEN };
enum Element { ELEMENT_OTHER, ELEMENT_DEPENDENCY, ELEMENT_DEPENDENT, ELEMENT_IDENTITY };
}

static Text OpenText(const ByteSpan* bytes)
{
    Text text = { *bytes, bytes->size, false };
    const BYTE* utf8 = SpanAt(bytes, 0, 3);
    const BYTE* utf16 = SpanAt(bytes, 0, 2);
    if (utf8 && utf8[0] == 0xEF && utf8[1] == 0xBB && utf8[2] == 0xBF) {
        text.bytes = SubSpan(bytes, 3, bytes->size - 3);
        text.length = text.bytes.size;
    } else if (utf16 && utf16[0] == 0xFF && utf16[1] == 0xFE) {
        text.bytes = SubSpan(bytes, 2, bytes->size - 2);
        text.length = text.bytes.size / 2;   // an odd last byte is no character
        text.wide = true;
    }
    return text;
}

// Character `at`; callers read only below the text's length.
static char CharAt(const Text* text, DWORD at)
{
    const BYTE* b = SpanAt(&text->bytes, text->wide ? at * 2 : at, text->wide ? 2 : 1);
    if (!b)
        return '\0';
    unsigned c = text->wide ? (b[0] | b[1] << 8) : b[0];
    return static_cast<char>(c < 0x80 ? c : 0x7F);
}

static bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

static bool IsNameChar(char c)
{
    return c > ' ' && c != '<' && c != '>' && c != '/' && c != '=' && c != '"' && c != '\'';
}

// Whether `literal` stands at `at` (at most the text's length).
static bool Matches(const Text* text, DWORD at, const char* literal)
{
    for (DWORD i = 0; literal[i]; ++i) {
        if (text->length - at <= i || CharAt(text, at + i) != literal[i])
            return false;
    }
    return true;
}

// Just past the first `end` at or after `at`; the text's length when there is none.
static DWORD SkipPast(const Text* text, DWORD at, const char* end)
{
    for (; at < text->length; ++at) {
        if (Matches(text, at, end))
            return at + static_cast<DWORD>(strlen(end));
    }
    return text->length;
}

static DWORD SkipSpace(const Text* text, DWORD at)
{
    while (at < text->length && IsSpace(CharAt(text, at)))
        ++at;
    return at;
}

static DWORD SkipName(const Text* text, DWORD at)
{
    while (at < text->length && IsNameChar(CharAt(text, at)))
        ++at;
    return at;
}

// Whether the name at [start, end) is `local`, with or without a namespace prefix.
static bool IsName(const Text* text, DWORD start, DWORD end, const char* local)
{
    for (DWORD i = start; i < end; ++i) {
        if (CharAt(text, i) == ':')
            start = i + 1;
    }
    return end - start == strlen(local) && Matches(text, start, local);
}

// The value at [start, end) into `field`, cut to fit; characters other than
// printable ASCII become '?'.
static void CopyValue(const Text* text, DWORD start, DWORD end, char* field, size_t room)
{
    size_t n = 0;
    for (DWORD at = start; at < end && n + 1 < room; ++at, ++n) {
        char c = CharAt(text, at);
        field[n] = c < 0x20 || c > 0x7E ? '?' : c;
    }
    field[n] = '\0';
}

static void TakeAttribute(const Text* text, DWORD nameStart, DWORD nameEnd, DWORD valueStart, DWORD valueEnd,
                          AssemblyRef* identity)
{
    struct Field {
        const char* name;
        char* value;
        size_t room;
    } fields[] = {
        { "name", identity->name, sizeof identity->name },
        { "version", identity->version, sizeof identity->version },
        { "processorArchitecture", identity->architecture, sizeof identity->architecture },
        { "publicKeyToken", identity->publicKeyToken, sizeof identity->publicKeyToken },
        { "language", identity->language, sizeof identity->language },
    };
    for (const Field& field : fields) {
        if (IsName(text, nameStart, nameEnd, field.name)) {
            CopyValue(text, valueStart, valueEnd, field.value, field.room);
            return;
        }
    }
}

// Reads the attributes of the start tag whose name ends at `*position` up to
// its end, taking those of an identity into `identity` when it is not null.
// A tag that the text ends in, or that holds something no attribute can
// start with, is broken: `*position` is left where the reading stopped, so
// that nothing is read twice.
static TagEnd ReadAttributes(const Text* text, DWORD* position, AssemblyRef* identity)
{
    DWORD at = *position;
    TagEnd end = TAG_BROKEN;
    for (;;) {
        at = SkipSpace(text, at);
        if (at >= text->length)
            break;
        if (CharAt(text, at) == '>') {
            ++at;
            end = TAG_OPEN;
            break;
        }
        if (Matches(text, at, "/>")) {
            at += 2;
            end = TAG_EMPTY;
            break;
        }
        DWORD nameStart = at;
        at = SkipName(text, at);
        DWORD nameEnd = at;
        if (nameEnd == nameStart)
            break;
        at = SkipSpace(text, at);
        if (!Matches(text, at, "="))
            break;
        at = SkipSpace(text, at + 1);
        if (at >= text->length)
            break;
        char quote = CharAt(text, at);
        if (quote != '"' && quote != '\'')
            break;
        DWORD valueStart = ++at;
        while (at < text->length && CharAt(text, at) != quote)
            ++at;
        if (at >= text->length)
            break;
        if (identity)
            TakeAttribute(text, nameStart, nameEnd, valueStart, at, identity);
        ++at;
    }
    *position = at;
    return end;
}

static Element WhichElement(const Text* text, DWORD start, DWORD end)
{
    if (IsName(text, start, end, "dependency"))
        return ELEMENT_DEPENDENCY;
    if (IsName(text, start, end, "dependentAssembly"))
        return ELEMENT_DEPENDENT;
    if (IsName(text, start, end, "assemblyIdentity"))
        return ELEMENT_IDENTITY;
    return ELEMENT_OTHER;
}

// One pass over the text, every character read a bounded number of times.
// Nesting is tracked by the two elements' own start and end tags alone, so
// that a malformed manifest costs no stack and still reads as far as it can.
// An identity counts once its tag is complete: a manifest cut anywhere gives
// the identities of the whole up to the cut.
int ReadManifestDependencies(const ByteSpan* bytes, AssemblyRef* out, int room)
{
    if (!bytes || !bytes->base || !out || room <= 0)
        return 0;
    Text text = OpenText(bytes);
    bool inDependency = false, inDependent = false, taken = false;
    int found = 0;
    DWORD at = 0;
    while (at < text.length && found < room) {
        if (CharAt(&text, at++) != '<')
            continue;
        if (Matches(&text, at, "!--")) {
            at = SkipPast(&text, at + 3, "-->");
            continue;
        }
        if (Matches(&text, at, "![CDATA[")) {
            at = SkipPast(&text, at + 8, "]]>");
            continue;
        }
        if (Matches(&text, at, "?")) {
            at = SkipPast(&text, at + 1, "?>");
            continue;
        }
        if (Matches(&text, at, "!")) {   // a document type
            at = SkipPast(&text, at + 1, ">");
            continue;
        }
        bool closing = Matches(&text, at, "/");
        if (closing)
            ++at;
        DWORD nameStart = at;
        at = SkipName(&text, at);
        if (at == nameStart)
            continue;   // a '<' of no tag
        Element element = WhichElement(&text, nameStart, at);
        if (closing) {
            if (element == ELEMENT_DEPENDENCY)
                inDependency = inDependent = false;
            else if (element == ELEMENT_DEPENDENT)
                inDependent = false;
            at = SkipSpace(&text, at);
            if (Matches(&text, at, ">"))
                ++at;
            continue;
        }
        // A dependentAssembly names one assembly: its first identity.
        bool wanted = element == ELEMENT_IDENTITY && inDependent && !taken;
        AssemblyRef identity;
        memset(&identity, 0, sizeof identity);
        TagEnd end = ReadAttributes(&text, &at, wanted ? &identity : NULL);
        if (end == TAG_BROKEN)
            continue;
        if (wanted) {
            out[found++] = identity;
            taken = true;
        }
        if (end == TAG_OPEN && element == ELEMENT_DEPENDENCY) {
            inDependency = true;
        } else if (end == TAG_OPEN && element == ELEMENT_DEPENDENT && inDependency) {
            inDependent = true;
            taken = false;
        }
    }
    return found;
}
