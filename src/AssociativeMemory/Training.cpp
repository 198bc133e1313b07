// The memory's working operations: taking a frame, training (Write), recall (Read) and forgetting (Prune).
#include "CvAssociativeMemory.h"

#include "ErrorReport.h"
#include "MemoryInternals.h"
#include "RecallDescent.h"
#include "SearchAhead.h"
#include "SeqEntries.h"

#include <opencv2/imgproc/imgproc_c.h>

#include <limits>

namespace {

/* One more pass through a base; the counter stays at its ceiling. */
inline void CountHit(CvAMBase* base)
{
    if (base->hits != std::numeric_limits<uint64_t>::max())
        base->hits++;
}

/* The choice among base's children for area, sized for base's level: the one made ahead for the scan in
   progress, or one made now. The free slot it found is kept for base's next child. */
ChildChoice ChooseAt(CvAMBase& base, const CvMat* integral, CvRect area)
{
    CvAMContext& c = *base.context;
    ChildChoice choice;
    if (!TakeSearchAhead(c, &base, area, &choice)) {
        const CvSize g = c.GetGridSize(static_cast<int16_t>(base.level + 1));
        PrepareChildSearch(&base, g);
        choice = ChooseChild(base, g, integral, area, c.scratch,
                             base.matrix ? base.matrix->distances.data() : NULL);
    }
    if (choice.freeSlot)
        base.freeSlot = choice.freeSlot;
    return choice;
}

/* *score, when wanted, takes the match score of choice, when it has a child. */
void ScoreChoice(const ChildChoice& choice, int* score)
{
    if (choice.child && score)
        *score = MatchScore(choice.distance, choice.child->threshold);
}

/* The checks shared by Write and Read; reports the first failure under func and returns false. */
bool CheckAccess(const CvAssociativeMemory& m, CvRect area, const char* func, const char* areaMessage)
{
    // An empty or inverted area would pass the bounds test and then read outside the integral image.
    if (area.x < 0 || area.y < 0 || area.width <= 0 || area.height <= 0 ||
        static_cast<int64_t>(area.x) + area.width > m.sourceWidth ||
        static_cast<int64_t>(area.y) + area.height > m.sourceHeight) {
        CV_REPORT(CV_BadImageSize, func, areaMessage);
        return false;
    }
    if (!m.root) {
        CV_REPORT(CV_StsNullPtr, func, CV_AM_NOT_CREATED_MSG);
        return false;
    }
    // Create and Release drop the integral image and a failed SetImage drops the source, so both must
    // be present for the current frame to be readable.
    if (!m.source || !m.integral) {
        CV_REPORT(CV_StsNullPtr, func, CV_AM_NO_SOURCE_MSG);
        return false;
    }
    return true;
}

/* Counts one access; every CV_AM_PRUNE_PERIOD accesses the tree is pruned if it changed since last time.
   data is Read's data output, if any: it is moved to a copy that the pass cannot delete. */
void AccessStep(CvAssociativeMemory& m, int** data = NULL)
{
    m.context.accessCount++;
    if (m.context.accessCount % CV_AM_PRUNE_PERIOD == 0 && m.context.baseCount != m.prunedBaseCount) {
        // The pass may delete the very base whose data Read has just handed out; the caller then reads
        // the same value from the memory itself, valid until the next Read or Write.
        if (data && *data) {
            m.readDataCopy = **data;
            *data = &m.readDataCopy;
        }
        m.root->Prune();
        m.prunedBaseCount = m.context.baseCount;
    }
}

} // namespace

void CvAssociativeMemory::SetImage(const CvArr* image)
{
    // Until this frame is accepted the memory has no readable source, and searches made ahead on the last
    // one no longer hold.
    source = NULL;
    context.searchAhead = NULL;
    CvMat* view = NULL;
    try {
        view = cvGetMat(image, &sourceHeader, NULL, 0);
    } catch (const cv::Exception&) {
        view = NULL;
    }
    if (!view) {
        CV_REPORT(CV_StsBackTrace, CV_AM_SET_IMAGE_FUNC, CV_AM_INNER_FAILED_MSG);
        return;
    }
    if (CV_MAT_TYPE(view->type) != CV_8UC1) {
        CV_REPORT(CV_StsUnsupportedFormat, CV_AM_SET_IMAGE_FUNC, CV_AM_SOURCE_TYPE_MSG);
        return;
    }
    if (!integral || sourceWidth != view->cols || sourceHeight != view->rows) {
        sourceWidth = view->cols;
        sourceHeight = view->rows;
        cvReleaseMat(&integral);
        integral = cvCreateMat(view->rows + 1, view->cols + 1, CV_32SC1);
    }
    cvIntegral(view, integral, NULL, NULL);
    source = view;
}

void CvAssociativeMemory::Write(CvRect area, const int* apData)
{
    if (!CheckAccess(*this, area, CV_AM_WRITE_FUNC, CV_AM_WRITE_AREA_MSG))
        return;
    if (!apData) {
        CV_REPORT(CV_StsNullPtr, CV_AM_WRITE_FUNC, CV_AM_NULL_DATA_MSG);
        return;
    }
    if (area.width != context.scanRects[0].width || area.height != context.scanRects[0].height)
        SetAreaSize(area.width, area.height);

    static_cast<CvAMBaseHeader&>(*root) = CvAMBaseHeader{1, 0, 0, *apData};
    CvRect working = area;
    root->Learn(integral, area.x, area.y, &working, apData);
    AccessStep(*this);
}

bool CvAssociativeMemory::Read(CvRect area, CvRect* foundArea, int** data, uint64_t* index, uint64_t* hits,
                               double* probability, bool countAll)
{
    if (!CheckAccess(*this, area, CV_AM_READ_FUNC, CV_AM_READ_AREA_MSG))
        return false;
    if (area.width != context.scanRects[0].width || area.height != context.scanRects[0].height)
        SetAreaSize(area.width, area.height);

    context.matched = 1;
    int score = 0;
    CvRect found = area;
    root->Find(integral, &found, data, index, hits, probability ? &score : NULL, countAll);
    if (probability)
        *probability = score * 4.656612875245797e-10; // score / (2^31 - 1)
    if (foundArea)
        *foundArea = found;
    AccessStep(*this, data);
    return context.matched != 0;
}

void CvAMBase::Learn(const CvMat* integral, int x0, int y0, CvRect* area, const int* apData)
{
    CvAMBase* node = this;
    while (node->level < context->levels) {
        // Where a new child of this level is trained, fixed relative to the written area.
        const CvRect c = context->childRects[node->level];
        const CvRect r = cvRect(x0 + c.x, y0 + c.y, c.width, c.height);
        CvAMBase* child = NULL;
        if (node->children->total == 0 || !node->MatchChildren(integral, area, &child, NULL))
            child = node->CreateChild(integral, r);
        CountHit(child);
        child->data = *apData;
        node = child;
    }
}

bool CvAMBase::MatchChildren(const CvMat* integral, CvRect* area, CvAMBase** best, int* score)
{
    auto choose = [&](CvRect at) { return ChooseAt(*this, integral, at); };
    bool matches = false;
    const ChildChoice choice = SearchLevel(context->scanRects[level], area, choose, &matches);
    ScoreChoice(choice, score);
    *best = choice.child;
    return matches;
}

void CvAMBase::Find(const CvMat* integral, CvRect* area, int** dataOut, uint64_t* indexOut, uint64_t* hitsOut,
                    int* score, bool countAll)
{
    auto report = [&](CvAMBase* node) {
        if (dataOut)
            *dataOut = &node->data;
        if (indexOut)
            *indexOut = node->index;
        if (hitsOut)
            *hitsOut = node->hits;
    };
    report(this);
    // The score is that of the last choice that found a child; the descent changes no threshold, so it is
    // formed once, after it.
    ChildChoice last = {NULL, 0, 0, NULL};
    const bool matched = Descend(
        this, context->scanRects, area, countAll,
        [&](CvAMBase& node, CvRect at) {
            const ChildChoice choice = ChooseAt(node, integral, at);
            if (choice.child)
                last = choice;
            return choice;
        },
        [&](CvAMBase* child) {
            CountHit(child);
            report(child);
        });
    ScoreChoice(last, score);
    if (!matched)
        context->matched = 0;
}

void CvAMBase::Prune()
{
    const int16_t levels = context->levels;
    ForEachEntry(children, [levels](CvAMBase** entry) {
        CvAMBase* child = *entry;
        if (!child)
            return;
        if (child->hits < CV_AM_PRUNE_HITS) {
            delete child;
            *entry = NULL;
            return;
        }
        child->Prune();
        bool hasChildren = false;
        ForEachEntry(child->children,
                     [&hasChildren](CvAMBase** grandchild) { hasChildren |= *grandchild != NULL; });
        // An inner base left without descendants can no longer lead a descent to the bottom level.
        if (!hasChildren && child->level < levels) {
            delete child;
            *entry = NULL;
        }
    });
}
