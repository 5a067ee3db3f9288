// Which section holds an RVA: the lookup that RvaToPointer and RvaToSpan
// share, through the section index when the image has one.
#pragma once
#include "image_view.h"

const DWORD NO_SECTION = 0xFFFFFFFF;

// The first section in table order (of the `count` at `sections`, the image's
// table) whose extent holds `rva`, or NO_SECTION.
DWORD FindSection(const ImageView* view, const IMAGE_SECTION_HEADER* sections, DWORD count, DWORD rva);
