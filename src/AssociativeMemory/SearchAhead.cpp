#include "SearchAhead.h"

#include "RecallDescent.h"
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
    size_t room = SearchDistanceCount(*base);
    ForEachEntry(base->children, [&room](CvAMBase** entry) {
        if (*entry)
            room = std::max(room, PrepareSubtree(*entry));
    });
    return room;
}

/* The windows of a scan, each with the areas its scale scans at every level. */
struct ScanList
{
    std::vector<CvRect> windows;
    std::vector<int> scaleOf;       /* the scale of each window */
    std::vector<CvRect> levelRects; /* levels + 1 per scale: the memory's scanRects at that scale */

    /* The areas window w's scale scans at every level. */
    const CvRect* RectsOf(size_t w, int levels) const
    {
        return &levelRects[static_cast<size_t>(scaleOf[w] * (levels + 1))];
    }
};

/* Lists the windows of memory's next scan. Listing them sets the memory's area size scale by scale, as the
   scan itself does again before its first window. */
ScanList ListScan(CvAssociativeMemory& memory)
{
    const CvAMContext& context = memory.context;
    const int levels = context.levels;
    ScanList list;
    ForEachScanWindow(memory, [&](CvRect area) {
        if (list.windows.empty() || area.width != list.windows.back().width ||
            area.height != list.windows.back().height)
            list.levelRects.insert(list.levelRects.end(), context.scanRects, context.scanRects + levels + 1);
        list.windows.push_back(area);
        list.scaleOf.push_back(static_cast<int>(list.levelRects.size()) / (levels + 1) - 1);
    });
    return list;
}

} // namespace

SearchAhead::SearchAhead(CvAssociativeMemory& memory)
    : context(memory.context), treeChanges(0), depth(memory.context.levels), window(0), search(0)
{
    // With a single thread the searches are made by the scan itself: made ahead they would cost the same
    // and the bookkeeping besides.
    if (cv::getNumThreads() < 2 || !memory.root || !memory.source || !memory.integral || depth < 1)
        return;
    const ScanList scan = ListScan(memory);
    const size_t room = PrepareSubtree(memory.root);
    treeChanges = context.treeChanges;
    searches.resize(scan.windows.size() * static_cast<size_t>(depth));
    made.assign(scan.windows.size(), 0);

    const size_t scratchRoom = context.ScratchValues();
    const int count = static_cast<int>(scan.windows.size());
    // Windows that match cost many times more than those that do not, and they come in clusters: many
    // small stripes keep every core busy to the end.
    const int stripes = std::min(count, 16 * cv::getNumThreads());
    cv::parallel_for_(
        cv::Range(0, count),
        [&](const cv::Range& range) {
            // Each stripe has work space of its own, defined from the start as the context's is.
            std::vector<int16_t> scratch(scratchRoom, 0);
            std::vector<uint32_t> distances(room);
            for (size_t w = static_cast<size_t>(range.start); w < static_cast<size_t>(range.end); w++)
                made[w] = MakeDescent(memory.root, memory.integral, scan.windows[w], scan.RectsOf(w, depth),
                                      scratch.data(), distances.data(), &searches[w * depth]);
        },
        stripes);
    context.searchAhead = this;
}

int SearchAhead::MakeDescent(const CvAMBase* root, const CvMat* integral, CvRect area,
                             const CvRect* scanRects, int16_t* scratch, uint32_t* distances,
                             Search* out) const
{
    // Find's descent without its counting, down while a child matches.
    int n = 0;
    auto choose = [&](const CvAMBase& node, CvRect at) {
        const CvSize g = context.GetGridSize(static_cast<int16_t>(node.level + 1));
        const ChildChoice choice = ChooseChild(node, g, integral, at, scratch, distances);
        out[n++] = Search{&node, at, choice};
        return choice;
    };
    Descend(root, scanRects, &area, false, choose, [](const CvAMBase*) {});
    return n;
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
