#pragma once
// The descents of every window of a frame's scan, made before the scan on as many cores as OpenCV's
// parallel loops use. Choosing each level's child is nearly all of a tracking step, and for a given tree
// and frame it depends on the base and the area alone; the scan then goes on as always, one window after
// another on the calling thread with every event in its order, and takes each choice from here instead of
// making it. A choice is taken only while the tree and the frame are those it was made with. With a single
// thread nothing is made ahead.

#include "ChildSearch.h"

#include <cstddef>
#include <vector>

class SearchAhead
{
  public:
    /* Makes the descent of every window that memory's next scan will read and offers its choices to the
       memory's searches until destroyed. Does nothing for a memory that cannot scan, or when OpenCV's
       parallel loops run on one thread. */
    explicit SearchAhead(CvAssociativeMemory& memory);
    ~SearchAhead();
    SearchAhead(const SearchAhead&) = delete;
    SearchAhead& operator=(const SearchAhead&) = delete;

    /* The choice among base's children for area, when that is the next search made ahead and neither the
       tree nor the frame changed since; false otherwise. */
    bool Take(const CvAMBase* base, CvRect area, ChildChoice* choice);

  private:
    /* One search of a descent. */
    struct Search
    {
        const CvAMBase* base;
        CvRect area;
        ChildChoice choice;
    };
    /* Makes the descent of area from root, scanned with scanRects at each level, using scratch and distances
       as work space; writes its searches to out and returns how many it made. */
    int MakeDescent(const CvAMBase* root, const CvMat* integral, CvRect area, const CvRect* scanRects,
                    int16_t* scratch, uint32_t* distances, Search* out) const;

    CvAMContext& context;
    uint64_t treeChanges;
    int depth;                    /* room for searches per window: the memory's levels */
    std::vector<Search> searches; /* depth per window, in the scan's order */
    std::vector<int> made;        /* how many of its depth each window's descent made */
    size_t window;                /* the window and the search of it that come next */
    int search;
};

/* The choice among base's children for area made ahead for the scan in progress, if there is one; see
   SearchAhead::Take. */
inline bool TakeSearchAhead(CvAMContext& context, const CvAMBase* base, CvRect area, ChildChoice* choice)
{
    return context.searchAhead && context.searchAhead->Take(base, area, choice);
}
