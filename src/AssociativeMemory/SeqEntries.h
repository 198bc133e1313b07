#pragma once
// Visiting the elements of an OpenCV sequence in order, block by block, with their addresses: the one way
// the memory walks its lists.

#include <opencv2/core/core_c.h>

/* The first element of seq, in sequence order, for which found(T*) is true; NULL when none is. */
template <class T, class Found> T* FindElement(CvSeq* seq, Found found)
{
    if (!seq || seq->total == 0)
        return NULL;
    CvSeqBlock* block = seq->first;
    do {
        T* element = reinterpret_cast<T*>(block->data);
        for (int i = 0; i < block->count; i++)
            if (found(element + i))
                return element + i;
        block = block->next;
    } while (block != seq->first);
    return NULL;
}

/* Calls visit(T*) for every element of seq in sequence order; seq may be NULL. */
template <class T, class Visit> void ForEachElement(CvSeq* seq, Visit visit)
{
    FindElement<T>(seq, [&visit](T* element) {
        visit(element);
        return false;
    });
}

struct CvAMBase;

/* Calls visit(CvAMBase**) for every entry of a children list, NULL entries included. */
template <class Visit> void ForEachEntry(CvSeq* children, Visit visit)
{
    ForEachElement<CvAMBase*>(children, visit);
}
