#pragma once
// The recall descent: from a base down one level at a time, at each level the child nearest to the area
// chosen and the area moved where that choice leads. Find makes it for Read, and the searches made ahead
// make it for every window of a scan; both take it from here, so that a choice made ahead is the one Find
// would make at the same base for the same area.

#include "ChildSearch.h"

/* The search of one level: area takes the size scanned at the searched base's level (s, whose margins move
   it), choose(area) picks among the base's children, and area moves where the choice leads. Returns the
   choice; *matches tells whether its child matches. */
template <class Choose> ChildChoice SearchLevel(CvRect s, CvRect* area, Choose choose, bool* matches)
{
    area->width = s.width;
    area->height = s.height;
    const ChildChoice choice = choose(*area);
    *matches = FollowChoice(choice, s, area);
    return choice;
}

/* The recall descent of area from node (a CvAMBase, or a const one) with the areas scanned at each level in
   scanRects: while the base reached searches its children, choose(base, area) picks among them as
   SearchLevel says, and the descent goes on to the chosen child while every choice matched, or with
   countAll to the nearest child whatever the match; reach(child) is called with every base it goes on to.
   Returns whether every choice matched. */
template <class Base, class Choose, class Reach>
bool Descend(Base* node, const CvRect* scanRects, CvRect* area, bool countAll, Choose choose, Reach reach)
{
    bool matched = true;
    while (SearchesChildren(*node)) {
        bool matches = false;
        const ChildChoice choice = SearchLevel(
            scanRects[node->level], area, [&](CvRect at) { return choose(*node, at); }, &matches);
        matched = matched && matches;
        if (!choice.child || !(matched || countAll))
            break;
        node = choice.child;
        reach(node);
    }
    return matched;
}
