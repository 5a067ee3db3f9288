#include "edge_index.h"

// A counting sort, linear in edges.
bool IndexEdges(const ClosureEdge* edges, int count, int libraries, bool byTarget, EdgeIndex* index)
{
    HANDLE heap = GetProcessHeap();
    index->edges = edges;
    index->byTarget = byTarget;
    index->stamp = 0;
    index->start = static_cast<int*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, (libraries + 2) * sizeof(int)));
    index->order = static_cast<int*>(HeapAlloc(heap, 0, (count + 1) * sizeof(int)));
    index->seen = static_cast<int*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, (libraries + 1) * sizeof(int)));
    if (!index->start || !index->order || !index->seen)
        return false;
    for (int e = 0; e < count; ++e)
        ++index->start[(byTarget ? edges[e].to : edges[e].from) + 2];
    for (int i = 2; i <= libraries + 1; ++i)
        index->start[i] += index->start[i - 1];
    for (int e = 0; e < count; ++e)
        index->order[index->start[(byTarget ? edges[e].to : edges[e].from) + 1]++] = e;
    return true;
}

void FreeEdgeIndex(EdgeIndex* index)
{
    if (index->start)
        HeapFree(GetProcessHeap(), 0, index->start);
    if (index->order)
        HeapFree(GetProcessHeap(), 0, index->order);
    if (index->seen)
        HeapFree(GetProcessHeap(), 0, index->seen);
    index->start = index->order = index->seen = NULL;
}

void ForEachOtherEnd(EdgeIndex* index, int i, int kinds, void (*each)(void* context, int other, bool first),
                     void* context)
{
    int stamp = ++index->stamp;
    bool first = true;
    for (int k = index->start[i]; k < index->start[i + 1]; ++k) {
        const ClosureEdge* edge = &index->edges[index->order[k]];
        int other = index->byTarget ? edge->from : edge->to;
        if (!(kinds & (edge->forward ? EDGE_FORWARDS : EDGE_IMPORTS)) || index->seen[other] == stamp)
            continue;
        index->seen[other] = stamp;
        each(context, other, first);
        first = false;
    }
}
