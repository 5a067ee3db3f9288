#include "manifest_text.h"
#include <string.h>

void OpenManifestText(const ByteSpan* bytes, ManifestText* text)
{
    text->bytes = *bytes;
    text->length = bytes->size;
    text->wide = false;
    const BYTE* utf8 = SpanAt(bytes, 0, 3);
    const BYTE* utf16 = SpanAt(bytes, 0, 2);
    if (utf8 && utf8[0] == 0xEF && utf8[1] == 0xBB && utf8[2] == 0xBF) {
        text->bytes = SubSpan(bytes, 3, bytes->size - 3);
        text->length = text->bytes.size;
    } else if (utf16 && utf16[0] == 0xFF && utf16[1] == 0xFE) {
        text->bytes = SubSpan(bytes, 2, bytes->size - 2);
        text->length = text->bytes.size / 2;   // an odd last byte is no character
        text->wide = true;
    }
}

// Character `at`; callers read only below the text's length.
static char CharAt(const ManifestText* text, DWORD at)
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
static bool Matches(const ManifestText* text, DWORD at, const char* literal)
{
    for (DWORD i = 0; literal[i]; ++i) {
        if (text->length - at <= i || CharAt(text, at + i) != literal[i])
            return false;
    }
    return true;
}

// Just past the first `end` at or after `at`; the text's length when there is none.
static DWORD SkipPast(const ManifestText* text, DWORD at, const char* end)
{
    for (; at < text->length; ++at) {
        if (Matches(text, at, end))
            return at + static_cast<DWORD>(strlen(end));
    }
    return text->length;
}

static DWORD SkipSpace(const ManifestText* text, DWORD at)
{
    while (at < text->length && IsSpace(CharAt(text, at)))
        ++at;
    return at;
}

static DWORD SkipName(const ManifestText* text, DWORD at)
{
    while (at < text->length && IsNameChar(CharAt(text, at)))
        ++at;
    return at;
}

// Whether the name at [start, end) is `local`, with or without a namespace prefix.
static bool IsName(const ManifestText* text, DWORD start, DWORD end, const char* local)
{
    for (DWORD i = start; i < end; ++i) {
        if (CharAt(text, i) == ':')
            start = i + 1;
    }
    return end - start == strlen(local) && Matches(text, start, local);
}

static void CopyValue(const ManifestText* text, DWORD start, DWORD end, char* field, size_t room)
{
    size_t n = 0;
    for (DWORD at = start; at < end && n + 1 < room; ++at, ++n) {
        char c = CharAt(text, at);
        field[n] = c < 0x20 || c > 0x7E ? '?' : c;
    }
    field[n] = '\0';
}

// Reads the attributes from `*position` to the tag's end; with a `wanted`
// name, its value goes to `field`. A tag that the text ends in, or that holds
// what no attribute can start with, is broken: `*position` is left where the
// reading stopped, so that nothing is read twice.
static bool ReadAttributes(const ManifestText* text, DWORD* position, TagKind* kind, const char* wanted, char* field,
                           size_t room, bool* found)
{
    DWORD at = *position;
    bool complete = false;
    for (;;) {
        at = SkipSpace(text, at);
        if (at >= text->length)
            break;
        if (CharAt(text, at) == '>' || Matches(text, at, "/>")) {
            *kind = CharAt(text, at) == '>' ? TAG_START : TAG_EMPTY_ELEMENT;
            at += *kind == TAG_START ? 1 : 2;
            complete = true;
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
        if (wanted && !*found && IsName(text, nameStart, nameEnd, wanted)) {
            CopyValue(text, valueStart, at, field, room);
            *found = true;
        }
        ++at;
    }
    *position = at;
    return complete;
}

bool NextTag(const ManifestText* text, DWORD* position, ManifestTag* tag)
{
    DWORD at = *position;
    while (at < text->length) {
        if (CharAt(text, at++) != '<')
            continue;
        if (Matches(text, at, "!--")) {
            at = SkipPast(text, at + 3, "-->");
            continue;
        }
        if (Matches(text, at, "![CDATA[")) {
            at = SkipPast(text, at + 8, "]]>");
            continue;
        }
        if (Matches(text, at, "?") || Matches(text, at, "!")) {   // a declaration or a document type
            at = SkipPast(text, at + 1, Matches(text, at, "?") ? "?>" : ">");
            continue;
        }
        bool closing = Matches(text, at, "/");
        if (closing)
            ++at;
        tag->nameStart = at;
        at = SkipName(text, at);
        tag->nameEnd = at;
        if (at == tag->nameStart)
            continue;   // a '<' of no tag
        tag->attributes = at;
        if (closing) {
            // An end tag counts by its name, however it ends.
            tag->kind = TAG_END;
            at = SkipSpace(text, at);
            if (Matches(text, at, ">"))
                ++at;
        } else {
            bool found = false;
            if (!ReadAttributes(text, &at, &tag->kind, NULL, NULL, 0, &found))
                continue;
        }
        tag->end = at;
        *position = at;
        return true;
    }
    *position = at;
    return false;
}

bool IsTagName(const ManifestText* text, const ManifestTag* tag, const char* local)
{
    return IsName(text, tag->nameStart, tag->nameEnd, local);
}

bool TagAttribute(const ManifestText* text, const ManifestTag* tag, const char* local, char* field, size_t room)
{
    field[0] = '\0';
    if (tag->kind == TAG_END)
        return false;
    DWORD at = tag->attributes;
    TagKind kind;
    bool found = false;
    ReadAttributes(text, &at, &kind, local, field, room, &found);
    return found;
}

void ElementText(const ManifestText* text, DWORD at, char* field, size_t room)
{
    DWORD start = SkipSpace(text, at), end = start;
    for (DWORD i = start; i < text->length && CharAt(text, i) != '<'; ++i) {
        if (!IsSpace(CharAt(text, i)))
            end = i + 1;
    }
    CopyValue(text, start, end, field, room);
}
