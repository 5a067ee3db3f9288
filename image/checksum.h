// The image checksum as the system computes it (CheckSumMappedFile): the
// file's 16-bit words summed with their carries folded back in, the words at
// the stored checksum field left out, plus the file's length.
#pragma once
#include <windows.h>
#include "image_view.h"

DWORD ComputeImageChecksum(const ImageView* view);
