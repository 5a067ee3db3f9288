// Edges grouped by one of their ends, for walking a closure's graph in
// linear time: the edges of library i are order[start[i]] to
// order[start[i + 1] - 1], in their order in the array.
#pragma once
#include "closure.h"

struct EdgeIndex {
    int* start;   // libraries + 1 entries
    int* order;
    const ClosureEdge* edges;
    bool byTarget;
    int* seen;    // per library, the stamp of the last ForEachOtherEnd that named it
    int stamp;
};

// Groups `count` edges over `libraries` libraries by their source, or by
// their target with `byTarget`. False when memory runs out; FreeEdgeIndex
// in either case.
bool IndexEdges(const ClosureEdge* edges, int count, int libraries, bool byTarget, EdgeIndex* index);
void FreeEdgeIndex(EdgeIndex* index);

enum EdgeKinds { EDGE_IMPORTS = 1, EDGE_FORWARDS = 2, EDGE_ANY = 3 };
// Calls `each` once for every distinct library at the other end of library
// i's edges of the kinds asked, in the edges' order (`first` for the first):
// a library that many descriptors name is named once, in linear time.
void ForEachOtherEnd(EdgeIndex* index, int i, int kinds, void (*each)(void* context, int other, bool first),
                     void* context);
