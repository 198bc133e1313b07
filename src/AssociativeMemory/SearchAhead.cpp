#include "SearchAhead.h"

#include "ScanWindows.h"
#include "SeqEntries.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>

namespace {

/* Brings the child matrices of base and of every base below it that has children to search up to date,
   and returns the most work space in distances that a search of any of them needs. */
size_t PrepareSubtree(CvAMBase* base)
{
    if (!SearchesChildren(*base))
        return 0;
    PrepareChildSearch(base, base->context->GetGridSize(static_cast<int16_t>(base->level + 1)));
    size_t room = ChildSearchRoom(*base);
    ForEachEntry(base->children, [&room](CvAMBase** entry) {
        if (*entry)
            room = std::max(room, PrepareSubtree(*entry));
    });
    return room;
}

} // namespace

SearchAhead::SearchAhead(CvAssociativeMemory& memory)
    : context(memory.context), treeChanges(0), depth(memory.context.levels), window(0), search(0)
{
    // With a single thread the searches are made by the scan itself: made ahead they would cost the same
    // and the bookkeeping besides.
    if (cv::getNumThreads() < 2 || !memory.root || !memory.source || !memory.integral || depth < 1)
        return;
    // Each window is listed with its scale, each scale with the areas it scans at every level. Listing
    // them sets the memory's area size scale by scale, as the scan itself does again before its first
    // window.
    std::vector<CvRect> windows;
    std::vector<int> scaleOf;
    std::vector<CvRect> levelRects;
    ForEachScanWindow(memory, [&](CvRect area) {
        if (windows.empty() || area.width != windows.back().width || area.height != windows.back().height)
            levelRects.insert(levelRects.end(), context.scanRects, context.scanRects + depth + 1);
        windows.push_back(area);
        scaleOf.push_back(static_cast<int>(levelRects.size()) / (depth + 1) - 1);
    });
    const size_t room = PrepareSubtree(memory.root);
    treeChanges = context.treeChanges;
    searches.resize(windows.size() * static_cast<size_t>(depth));
    made.assign(windows.size(), 0);

    const size_t scratchRoom = context.ScratchValues();
    std::vector<CvSize> grids; // of each level's children
    for (int l = 0; l < depth; l++)
        grids.push_back(context.GetGridSize(static_cast<int16_t>(l + 1)));
    const CvAMBase* root = memory.root;
    const CvMat* integral = memory.integral;
    const int count = static_cast<int>(windows.size());
    // Windows that match cost many times more than those that do not, and they come in clusters: many
    // small stripes keep every core busy to the end.
    const int stripes = std::min(count, 16 * cv::getNumThreads());
    cv::parallel_for_(
        cv::Range(0, count),
        [&](const cv::Range& range) {
            // Each stripe has work space of its own, defined from the start as the context's is.
            std::vector<int16_t> scratch(scratchRoom, 0);
            std::vector<uint32_t> distances(room);
            for (int w = range.start; w < range.end; w++) {
                // Find's descent without its counting: down while a child matches.
                const CvRect* rects =
                    &levelRects[static_cast<size_t>(scaleOf[static_cast<size_t>(w)] * (depth + 1))];
                Search* out = &searches[static_cast<size_t>(w) * depth];
                const CvAMBase* node = root;
                CvRect area = windows[static_cast<size_t>(w)];
                int n = 0;
                while (SearchesChildren(*node)) {
                    const CvRect s = rects[node->level];
                    area.width = s.width;
                    area.height = s.height;
                    const ChildChoice choice = ChooseChild(*node, grids[static_cast<size_t>(node->level)],
                                                           integral, area, scratch.data(), distances.data());
                    out[n++] = Search{node, area, choice};
                    if (!FollowChoice(choice, s, &area))
                        break;
                    node = choice.child;
                }
                made[static_cast<size_t>(w)] = n;
            }
        },
        stripes);
    context.searchAhead = this;
}

SearchAhead::~SearchAhead()
{
    if (context.searchAhead == this)
        context.searchAhead = NULL;
}

bool SearchAhead::Take(const CvAMBase* base, CvRect area, ChildChoice* choice)
{
    if (context.treeChanges != treeChanges)
        return false;
    while (window < made.size() && search == made[window]) {
        window++;
        search = 0;
    }
    if (window == made.size())
        return false;
    const Search& next = searches[window * depth + static_cast<size_t>(search)];
    const CvRect& a = next.area;
    if (next.base != base || a.x != area.x || a.y != area.y || a.width != area.width ||
        a.height != area.height)
        return false;
    *choice = next.choice;
    search++;
    return true;
}
