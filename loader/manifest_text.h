// Reading a manifest's XML as far as its readers need: its tags one after
// another, their attributes and the text of an element. The text is
// untrusted: every read is bounded by its size, nothing is stored, and a
// malformed manifest reads as far as it can, each character a bounded
// number of times.
#pragma once
#include <windows.h>
#include "../image/byte_span.h"

// The manifest as a run of characters whatever its encoding (UTF-8, or
// UTF-16 with a byte-order mark). Every character past ASCII reads as 0x7F,
// which counts as a name character (as XML's letters past ASCII do) but is
// none of the marks the reading looks for.
struct ManifestText {
    ByteSpan bytes;   // past any byte-order mark
    DWORD length;     // characters
    bool wide;        // UTF-16 LE
};

void OpenManifestText(const ByteSpan* bytes, ManifestText* text);

enum TagKind { TAG_START, TAG_EMPTY_ELEMENT, TAG_END };

struct ManifestTag {
    TagKind kind;
    DWORD nameStart, nameEnd;   // the element's name, prefix included
    DWORD attributes;           // where its attributes start
    DWORD end;                  // just past its '>'
};

// The next complete tag at or after `*at`, and `*at` moved past it; comments,
// CDATA, processing instructions and document types are passed over, and so
// is a tag the text ends in or that holds what no attribute starts with.
// False at the end of the text.
bool NextTag(const ManifestText* text, DWORD* at, ManifestTag* tag);

// Whether the tag's name is `local`, with or without a namespace prefix.
bool IsTagName(const ManifestText* text, const ManifestTag* tag, const char* local);

// The value of the tag's attribute `local` (any prefix) into `field` (room
// for `room` bytes, cut to fit; characters other than printable ASCII become
// '?'); false, and `field` empty, when the tag has no such attribute.
bool TagAttribute(const ManifestText* text, const ManifestTag* tag, const char* local, char* field, size_t room);

// The text from `at` (past a start tag) to the next '<', its surrounding
// white space left out, into `field` as TagAttribute does.
void ElementText(const ManifestText* text, DWORD at, char* field, size_t room);
