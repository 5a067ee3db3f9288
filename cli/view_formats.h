// The one list of the views as the console companion names and prints them.
#pragma once
#include "image/views.h"

struct ViewFormat {
    ViewId id;
    const char* option;   // --view NAME, and "-- NAME" in the text
    const char* key;      // its key in the JSON
    bool libraries;       // header rows name imported libraries (--resolve)
};

// In tab order, which is ViewId order.
extern const ViewFormat VIEW_FORMATS[VIEW_COUNT];
