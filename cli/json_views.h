// The JSON of each view, read from the image with the walkers of image/:
// each writes its value (an object or an array) where the writer stands.
#pragma once
#include <windows.h>
#include "image/image_view.h"
#include "json_write.h"
#include "loader/closure.h"

void PutHeaders(JsonWriter* w, const ImageView* view);
void PutSections(JsonWriter* w, const ImageView* view);
// With a `closure`, each library's "path" is where it leads (null when not
// found, counted in `notFound`).
void PutImports(JsonWriter* w, const ImageView* view, bool delay, const Closure* closure, int* notFound);
// False when the table of exports could not be had in full (out of memory).
bool PutExports(JsonWriter* w, const ImageView* view);
void PutVersion(JsonWriter* w, const ImageView* view);
void PutStrings(JsonWriter* w, const ImageView* view);
