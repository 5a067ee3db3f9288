// The one list of the views as the console companion names and prints them.
#pragma once
#include "image/views.h"

// How a view's rows become JSON.
enum ViewShape {
    SHAPE_GROUPS,     // each header row opens a group holding the rows below it
    SHAPE_ROWS,       // an object per row
    SHAPE_SECTIONS,   // an object per row, and the header row apart as the total
    SHAPE_SUMMARY,    // the value of each row under a fixed key
};

// A field of a row's object: the text of the cell in `column`.
struct Field {
    const char* key;
    int column;
};

struct ViewFormat {
    ViewId id;
    const char* option;     // --view NAME, and "-- NAME" in the text
    const char* key;        // its key in the JSON
    ViewShape shape;
    bool libraries;         // header rows name imported libraries (--resolve)
    const char* groupKey;   // SHAPE_GROUPS: the group's name, column 1 of its header row
    const char* itemsKey;   // SHAPE_GROUPS: the group's rows
    const Field* fields;    // a plain row's object
    int fieldCount;
    const Field* totalFields;   // SHAPE_SECTIONS: the header row's object
    int totalFieldCount;
    const char* const* rowKeys;   // SHAPE_SUMMARY: a key per row, whatever the language
    int rowKeyCount;
};

// In tab order, which is ViewId order.
extern const ViewFormat VIEW_FORMATS[VIEW_COUNT];
