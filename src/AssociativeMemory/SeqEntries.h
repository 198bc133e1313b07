#pragma once
// Visiting the elements of an OpenCV sequence in order, block by block, with their addresses.

#include <opencv2/core/core_c.h>

/* Calls visit(T*) for every element of seq in sequence order; seq may be NULL. */
template <class T, class Visit> void ForEachElement(CvSeq* seq, Visit visit)
{
    if (!seq || seq->total == 0)
        return;
    CvSeqBlock* block = seq->first;
    do {
        T* element = reinterpret_cast<T*>(block->data);
        for (int i = 0; i < block->count; i++)
            visit(element + i);
        block = block->next;
    } while (block != seq->first);
}

struct CvAMBase;

/* Calls visit(CvAMBase**) for every entry of a children list, NULL entries included. */
template <class Visit> void ForEachEntry(CvSeq* children, Visit visit)
{
    ForEachElement<CvAMBase*>(children, visit);
}
