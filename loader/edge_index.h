// Edges grouped by one of their ends, for walking a closure's graph in
// linear time: the edges of library i are order[start[i]] to
// order[start[i + 1] - 1], in their order in the array.
#pragma once
#include "closure.h"

struct EdgeIndex {
    int* start;   // libraries + 1 entries
    int* order;
};

// Groups `count` edges over `libraries` libraries by their source, or by
// their target with `byTarget`. False when memory runs out; FreeEdgeIndex
// in either case.
bool IndexEdges(const ClosureEdge* edges, int count, int libraries, bool byTarget, EdgeIndex* index);
void FreeEdgeIndex(EdgeIndex* index);
