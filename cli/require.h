// --require: whether each file is built with the mitigations a build asks
// for, by the hardening view's verdicts.
#pragma once
#include <windows.h>
#include "image/hardening.h"
#include "print_views.h"

// Prints the verdicts on the `required` mitigations of the file named `file`:
// in the text, a line per requirement not met, "FILE\tWORD\tno\tREASON"; in
// JSON, the file's "requirements" object and whether it "meets" them all. A
// mitigation that does not apply to the file counts as met. False when one
// is not met.
bool PrintRequirements(Printer* p, const wchar_t* file, const ImageView* view,
                       const bool required[MITIGATION_COUNT]);
