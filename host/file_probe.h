// Files of the running system as the library search reaches them: mapped
// read-only, their machine read from their headers.
#pragma once
#include <windows.h>
#include "../loader/probe.h"

// The probe over the real file system. With `keepFiles` the files it maps
// stay mapped for the rest of the process, each mapped and probed once
// however many walks read it (for a run over many files; the viewer keeps
// nothing, so that no file it once looked at stays in use).
FileProbe RealFileProbe(bool keepFiles);
