// The memory's model: construction, sizing of the per-level grids and areas, the tree's root, and release.
#include "CvAssociativeMemory.h"

#include "ChildMatrix.h"
#include "MemoryInternals.h"
#include "SeqEntries.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

/* Largest power of two not above value (value >= 1). */
int LargestPowerOfTwo(int value)
{
    int p = 1;
    while (value > 1) {
        value >>= 1;
        p <<= 1;
    }
    return p;
}

/* A new empty sequence of elemSize-byte elements in storage. */
CvSeq* CreateList(CvMemStorage* storage, int elemSize)
{
    return cvCreateSeq(0, sizeof(CvSeq), elemSize, storage);
}

/* Whether every value that Create and SetAreaSize form in int from c's sizes and levels fits 32 bits. */
bool SizesFitInt(const CvAMContext& c)
{
    // The largest values that Create and SetAreaSize form in int from these sizes, formed here in 64 bits.
    const int64_t limit = INT32_MAX;
    // sizeTolerance2 = (width^2 + height^2) / 16
    if (static_cast<int64_t>(c.width) * c.width + static_cast<int64_t>(c.height) * c.height > 16 * limit)
        return false;
    // (g + 1)^2 + 4 g^2 values of the deepest grid g, the largest grid of any base, bound the work space and
    // a base's features with their search layout. The bound is older than the layout and kept, so that the
    // same memory files are accepted.
    const CvSize deepest = c.GetGridSize(c.levels);
    if (static_cast<int64_t>(deepest.width + 1) * (deepest.height + 1) +
            4 * static_cast<int64_t>(deepest.width) * deepest.height >
        limit)
        return false;
    for (int16_t l = 0; l <= c.levels; l++) {
        const CvSize g = c.GetGridSize(static_cast<int16_t>(l + 1));
        const int64_t s = std::min(g.width, g.height);
        // span = (s + 2) pow2 / (s + 1); child area = (g + 1) x scanned / (g + 2), scanned = span x scale
        if ((s + 2) * std::max(c.pow2Width, c.pow2Height) > limit)
            return false;
        const int64_t scannedWidth =
            l == 0 ? c.width : (s + 2) * c.pow2Width / (s + 1) * c.width / c.alignedWidth + 1;
        const int64_t scannedHeight =
            l == 0 ? c.height : (s + 2) * c.pow2Height / (s + 1) * c.height / c.alignedHeight + 1;
        if (l < c.levels && ((g.width + 1) * scannedWidth > limit || (g.height + 1) * scannedHeight > limit))
            return false;
    }
    // gateRadius2 = ((AW + SX)^2 + (AH + SY)^2) / 4 with SX = AW / (g1 + 2)
    const CvSize g1 = c.GetGridSize(1);
    const int64_t gateWidth = c.alignedWidth + c.alignedWidth / (g1.width + 2);
    const int64_t gateHeight = c.alignedHeight + c.alignedHeight / (g1.height + 2);
    return (gateWidth * gateWidth + gateHeight * gateHeight) / 4 <= limit;
}

/* The tracker's sizes, from the memory's sizes: the level-1 cell as its step, the gate within which a
   detection joins a track, the size tolerance, and the bounds of a new filter's samples. */
void SetTrackerBounds(CvAssociativeMemory& m)
{
    const CvAMContext& c = m.context;
    const CvSize g1 = c.GetGridSize(1);
    m.stepX = c.alignedWidth / (g1.width + 2);
    m.stepY = c.alignedHeight / (g1.height + 2);
    // gate = ((AW + SX)^2 + (AH + SY)^2) / 4
    const int64_t gateWidth = c.alignedWidth + m.stepX;
    const int64_t gateHeight = c.alignedHeight + m.stepY;
    m.gateRadius2 = static_cast<int32_t>((gateWidth * gateWidth + gateHeight * gateHeight) / 4);
    m.stepX2 = static_cast<float>(m.stepX * m.stepX);
    m.stepY2 = static_cast<float>(m.stepY * m.stepY);
    // tolerance = trunc((W^2 + H^2) x 0.0625)
    const int64_t w = c.width, h = c.height;
    m.sizeTolerance2 = static_cast<int32_t>(static_cast<double>(w * w + h * h) * 0.0625);

    m.lowerBound = cvCreateMat(2, 1, CV_32FC1);
    m.upperBound = cvCreateMat(2, 1, CV_32FC1);
    m.lowerBound->data.fl[0] = static_cast<float>(-m.stepX);
    m.lowerBound->data.fl[1] = static_cast<float>(-m.stepY);
    m.upperBound->data.fl[0] = static_cast<float>(m.stepX);
    m.upperBound->data.fl[1] = static_cast<float>(m.stepY);
}

} // namespace

CvSize CvAMContext::GetGridSize(int16_t level) const
{
    const int lc = std::min<int>(level, maxLevels);
    // The aligned sizes are positive: halving them maxLevels - Lc + 1 times divides by 2^(maxLevels - Lc + 1).
    const int halvings = maxLevels - lc + 1;
    const int off = lc == 0 ? 0 : 1 << (lc - 1); // border cells lost at this level
    return cvSize((alignedWidth >> halvings) - (off + 1), (alignedHeight >> halvings) - (off + 1));
}

size_t CvAMContext::ScratchValues() const
{
    const CvSize deepest = GetGridSize(levels);
    return static_cast<size_t>((deepest.width + 1) * (deepest.height + 1)) + 16;
}

bool CvAMContext::SetSizes(int areaWidth, int areaHeight, int16_t requestedLevels)
{
    width = std::max(areaWidth, CV_AM_MIN_AREA_SIDE);
    height = std::max(areaHeight, CV_AM_MIN_AREA_SIDE);
    alignedWidth = 10 * LargestPowerOfTwo(width / 10);
    alignedHeight = 10 * LargestPowerOfTwo(height / 10);
    pow2Width = LargestPowerOfTwo(alignedWidth);
    pow2Height = LargestPowerOfTwo(alignedHeight);

    const int m = std::min(alignedWidth, alignedHeight);
    // maxLevels = trunc(log2(m / 6)) + 1
    maxLevels =
        static_cast<int16_t>(static_cast<int>(std::log(static_cast<double>(m / 6)) / std::log(2.0)) + 1);
    // A negative request cannot size any table; it is treated like 0, the automatic depth.
    if (requestedLevels <= 0)
        requestedLevels = static_cast<int16_t>(m > 40 ? maxLevels - 1 : maxLevels);
    // One level at least; the smallest area, 40 x 40, already allows three.
    levels = std::max<int16_t>(1, std::min(requestedLevels, maxLevels));
    return SizesFitInt(*this);
}

CvAMBase::CvAMBase(CvAMContext* owner)
    : CvAMBaseHeader{0, 0, 0, 0}, context(owner), gridWidth(0), gridHeight(0), features(NULL),
      searchFeatures(NULL), children(NULL), freeSlot(NULL), matrix(NULL), level(0)
{
    context->baseCount++;
    context->treeChanges++;
}

CvAMBase::~CvAMBase()
{
    ReleaseChildren();
    context->baseCount--;
    context->treeChanges++;
}

void CvAMBase::ReleaseChildren()
{
    if (children) {
        ForEachEntry(children, [](CvAMBase** entry) { delete *entry; });
        cvClearSeq(children);
        // Storage blocks cannot be freed one by one, so the emptied list waits in the pool for the next base.
        cvSeqPush(context->seqPool, &children);
    }
    cvFree(&features);
    searchFeatures = NULL;
    delete matrix;
    matrix = NULL;
}

void CvAMBase::Reset()
{
    ReleaseChildren();
    level = 0;
    const CvSize grid = context->GetGridSize(0);
    gridWidth = grid.width;
    gridHeight = grid.height;
    children = CreateList(context->storage, sizeof(CvAMBase*));
    // A slot found in the old list must not receive a child: that list now sits in the pool.
    freeSlot = NULL;
    // The packed image reserves the root's grid as zero bytes, so it is counted although never stored.
    context->dataSize += gridWidth * gridHeight * 2;
    static_cast<CvAMBaseHeader&>(*this) = CvAMBaseHeader{0, 0, 0, 0};
    index = ++context->baseIndex;
}

CvAssociativeMemory::CvAssociativeMemory()
    : detections(NULL), tracks(NULL), lowerBound(NULL), upperBound(NULL), gateRadius2(0), sizeTolerance2(0),
      stepX(0), stepY(0), stepX2(0), stepY2(0), frameCounter(0), root(NULL), context(), sourceWidth(0),
      sourceHeight(0), sourceHeader(), source(NULL), integral(NULL), prunedBaseCount(0), readDataCopy(0)
{
    context.storage = cvCreateMemStorage(0);
    context.seqPool = CreateList(context.storage, sizeof(CvSeq*));
    detections = CreateList(context.storage, sizeof(CvAMDetection));
    tracks = CreateList(context.storage, sizeof(CvAMTrack));
}

CvAssociativeMemory::~CvAssociativeMemory()
{
    Release();
    cvReleaseMemStorage(&context.storage);
}

void CvAssociativeMemory::Release()
{
    context.searchAhead = NULL;
    if (root) {
        delete root;
        root = NULL;
    }
    cvFree(&context.scratch);
    cvFree(&context.levelSpans);
    cvFree(&context.scanRects);
    cvFree(&context.childRects);
    cvReleaseMat(&integral);
    cvReleaseMat(&lowerBound);
    cvReleaseMat(&upperBound);
    ForEachElement<CvAMTrack>(tracks, [](CvAMTrack* track) {
        cvReleaseConDensation(&track->filter);
        ReleaseUserData(track);
    });
    cvClearSeq(tracks);
}

void CvAssociativeMemory::Create(int width, int height, int16_t levels)
{
    Release();

    CvMemStorage* const storage = context.storage;
    CvSeq* const seqPool = context.seqPool;
    context = CvAMContext();
    context.storage = storage;
    context.seqPool = seqPool;

    context.SetSizes(width, height, levels);
    width = context.width;
    height = context.height;

    // The values read beyond a search's extraction are defined from the start.
    const size_t scratchValues = context.ScratchValues();
    context.scratch = static_cast<int16_t*>(cvAlloc(sizeof(int16_t) * scratchValues));
    std::memset(context.scratch, 0, sizeof(int16_t) * scratchValues);
    context.levelSpans = static_cast<CvSize*>(cvAlloc(sizeof(CvSize) * (context.levels + 1)));
    context.scanRects = static_cast<CvRect*>(cvAlloc(sizeof(CvRect) * (context.levels + 1)));
    context.childRects = static_cast<CvRect*>(cvAlloc(sizeof(CvRect) * context.levels));
    std::memset(context.scanRects, 0, sizeof(CvRect) * (context.levels + 1));
    std::memset(context.childRects, 0, sizeof(CvRect) * context.levels);

    for (int16_t l = 0; l <= context.levels; l++) {
        const CvSize g = context.GetGridSize(static_cast<int16_t>(l + 1));
        const int s = std::min(g.width, g.height);
        // span = (s + 2) pow2 / (s + 1): the child grid plus its border cells in power-of-two units
        context.levelSpans[l].width = ((s + 2) * context.pow2Width) / (s + 1);
        context.levelSpans[l].height = (context.pow2Height * (s + 2)) / (s + 1);
    }

    SetTrackerBounds(*this);
    SetAreaSize(width, height);

    root = new CvAMBase(&context);
    root->ReleaseChildren();
    root->Reset();
}

void CvAssociativeMemory::SetAreaSize(int width, int height)
{
    CvAMContext& c = context;
    c.scaleX = static_cast<float>(width) / static_cast<float>(c.alignedWidth);
    c.scaleY = static_cast<float>(height) / static_cast<float>(c.alignedHeight);
    c.scanRects[0].width = width;
    c.scanRects[0].height = height;
    for (int l = 1; l <= c.levels; l++) {
        c.scanRects[l].width = static_cast<int>(static_cast<float>(c.levelSpans[l].width) * c.scaleX);
        c.scanRects[l].height = static_cast<int>(static_cast<float>(c.levelSpans[l].height) * c.scaleY);
        c.scanRects[l].x = 0;
        c.scanRects[l].y = 0;
        // margin = (outer - inner) >> 1, an arithmetic halving
        c.scanRects[l - 1].x = (c.scanRects[l - 1].width - c.scanRects[l].width) >> 1;
        c.scanRects[l - 1].y = (c.scanRects[l - 1].height - c.scanRects[l].height) >> 1;
    }
    for (int l = 0; l < c.levels; l++) {
        const CvSize g = c.GetGridSize(static_cast<int16_t>(l + 1));
        // child area = (g + 1) / (g + 2) of the level's scanned area, centred, nudged by an eighth margin
        const int cw = ((g.width + 1) * c.scanRects[l].width) / (g.width + 2);
        const int ch = ((g.height + 1) * c.scanRects[l].height) / (g.height + 2);
        c.childRects[l] = cvRect(((c.scanRects[0].width - cw) >> 1) - (c.scanRects[0].x >> 3),
                                 ((c.scanRects[0].height - ch) >> 1) - (c.scanRects[0].y >> 3), cw, ch);
    }
}
