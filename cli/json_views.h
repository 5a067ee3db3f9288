// The JSON of each view, read from the image with the walkers of image/:
// each writes its value (an object or an array) at the current place.
#pragma once
#include <windows.h>
#include "image/image_view.h"
#include "json_write.h"
#include "loader/closure.h"

void PutHeaders(Output* out, const ImageView* view);
void PutSections(Output* out, const ImageView* view);
// With a `closure`, each library's "path" is where it leads (null when not
// found, counted in `notFound`).
void PutImports(Output* out, const ImageView* view, bool delay, const Closure* closure, int* notFound);
// False when the table of exports could not be had in full (out of memory).
bool PutExports(Output* out, const ImageView* view);
void PutVersion(Output* out, const ImageView* view);
void PutStrings(Output* out, const ImageView* view);
