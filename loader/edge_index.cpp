#include "edge_index.h"

// A counting sort, linear in edges.
bool IndexEdges(const ClosureEdge* edges, int count, int libraries, bool byTarget, EdgeIndex* index)
{
    HANDLE heap = GetProcessHeap();
    index->start = static_cast<int*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, (libraries + 2) * sizeof(int)));
    index->order = static_cast<int*>(HeapAlloc(heap, 0, (count + 1) * sizeof(int)));
    if (!index->start || !index->order)
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
    index->start = index->order = NULL;
}
