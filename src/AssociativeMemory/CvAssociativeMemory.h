#pragma once
// CvAssociativeMemory: a trainable associative memory of image areas and the object tracker built on it.
//
// The memory is a tree of associative bases. The root (level 0) holds no features; a base at level L holds
// a contrast feature grid of an image area whose resolution roughly doubles with L, an acceptance
// threshold, a use counter and the user's data value (the object type). Training (Write) and recall (Read)
// descend from the root one level at a time, comparing ever finer grids. The tracker (ObjectTracking) keeps
// its state in the same object.

#include "ConDensation.h"

#include <opencv2/core/core_c.h>

#include <cstddef>
#include <cstdint>

struct CvAMBase;
struct CvAssociativeMemory;

/* Event codes raised through RcgAMFunc; 3 is not used. */
enum {
    CV_AM_FRAME_START = 0,    /* first event of every ObjectTracking call; type and info NULL */
    CV_AM_NOT_RECOGNIZED = 1, /* a scanned window the memory did not recognise */
    CV_AM_RECOGNIZED = 2,     /* a scanned window the memory recognised, before it joins the detections */
    CV_AM_TRACKED = 4,        /* once per frame for every live track */
    CV_AM_LEARNED = 5,        /* after every Write the tracker makes */
    CV_AM_FRAME_END = 6       /* last event of every ObjectTracking call; type and info NULL */
};

/* Smallest nominal interest-area side that Create accepts; smaller requests are raised to it. */
const int CV_AM_MIN_AREA_SIDE = 40;
/* Largest match score (2^31 - 1); a confidence is a score divided by it. */
const int CV_AM_SCORE_MAX = 2147483647;
/* Scores above this value (2^30 - 1) mean that the distance was below the threshold. */
const int CV_AM_SCORE_HALF = 1073741823;
/* Number of Write and Read calls between two pruning passes. */
const uint64_t CV_AM_PRUNE_PERIOD = 100000000;
/* A base used fewer times than this is forgotten by the pruning pass. */
const uint64_t CV_AM_PRUNE_HITS = 8;

// The 28 bytes of a base header are copied raw by the packed data image, so they form one block
// without padding; 4-byte packing keeps the int field naturally aligned.
#pragma pack(push, 4)
/* The fixed head of every base: identity, use, tolerance and user value. */
struct CvAMBaseHeader
{
    uint64_t index;     /* unique number of the base, taken from baseIndex when the base is made */
    uint64_t hits;      /* passes of training or recall through this base; saturates at 2^64 - 1 */
    uint64_t threshold; /* a feature distance strictly below this counts as a match */
    int32_t data;       /* the user's data value written with the base (the object type) */
};
#pragma pack(pop)
static_assert(sizeof(CvAMBaseHeader) == 28, "the base header is a 28-byte block");
static_assert(offsetof(CvAMBaseHeader, data) == 24, "the base header has no gaps");

class SearchAhead;

/* Settings, per-level tables and statistics shared by every base of one memory. */
struct CvAMContext
{
    CvMemStorage* storage; /* holds every children sequence and seqPool */
    CvSeq* seqPool;        /* CvSeq* elements: emptied children sequences kept for reuse */
    int32_t width;         /* nominal interest-area width given to Create, at least 40 */
    int32_t height;        /* nominal interest-area height, at least 40 */
    int32_t alignedWidth;  /* 10 x the largest power of two not above width / 10 */
    int32_t alignedHeight; /* 10 x the largest power of two not above height / 10 */
    int32_t pow2Width;     /* largest power of two not above alignedWidth */
    int32_t pow2Height;    /* largest power of two not above alignedHeight */
    CvSize* levelSpans;    /* levels + 1 entries: unscaled width and height of scanRects entry L */
    CvRect* scanRects;  /* levels + 1 entries: size scanned for a child of a level-L base, margins in x, y */
    CvRect* childRects; /* levels entries: where a new child of a level-L base is trained, area-relative */
    int16_t* scratch;   /* feature work space of (gridWidth(levels) + 1) x (gridHeight(levels) + 1) values
                           and 16 more, zero at first */
    int32_t scanStepX;  /* window step of the current scan scale in pixels */
    int32_t scanStepY;  /* window step of the current scan scale in pixels */
    int32_t mergeRadius2; /* squared distance within which recognised windows merge at the current scale */
    float scaleX;         /* current area width / alignedWidth */
    float scaleY;         /* current area height / alignedHeight */
    int32_t baseCount;    /* bases alive, root included */
    int16_t deepestLevel; /* deepest level of any base made since Create */
    int32_t dataSize;     /* feature bytes of every base made since Create, root included; never lowered */
    uint64_t baseIndex;   /* last index issued */
    int16_t levels;       /* number of levels built below the root */
    int16_t maxLevels;    /* largest level count the area size allows */
    uint64_t accessCount; /* number of successful Write and Read calls */
    uint8_t matched;      /* result of the last Read: 1 when every compared level matched */
    uint64_t treeChanges; /* bases made and deleted so far: a base's child matrix built before is stale */
    SearchAhead* searchAhead; /* the root searches made ahead for the scan in progress, or NULL */

    /* Returns the feature grid (columns x rows) of a level; levels above maxLevels get its grid. */
    CvSize GetGridSize(int16_t level) const;
    /* The values a search's feature work space holds: the extraction of the deepest grid, (g + 1) x (g + 1),
       and 16 more, since it is read in whole vectors that may reach 16 values beyond it. */
    size_t ScratchValues() const;
    /* Sets width, height, the aligned and power-of-two sizes, maxLevels and levels as Create does for an
       area of width x height and a requested depth (0: automatic); false when a size that Create and
       SetAreaSize derive from them would not fit their 32-bit arithmetic. */
    bool SetSizes(int width, int height, int16_t levels);
};

struct ChildMatrix;

/* One node of the memory's tree. The header comes first, as one block. */
struct CvAMBase : CvAMBaseHeader
{
    CvAMContext* context;    /* the owning memory's context */
    int32_t gridWidth;       /* feature grid columns of this base's level */
    int32_t gridHeight;      /* feature grid rows of this base's level */
    int16_t* features;       /* gridWidth x gridHeight values, row-major (cvAlloc); NULL for the root */
    int16_t* searchFeatures; /* the features laid out for the child search, in features' block */
    CvSeq* children;         /* CvAMBase* elements in storage; an entry may be NULL (a free slot) */
    CvAMBase** freeSlot;     /* a NULL entry of children found by the last search, reused by the next child */
    ChildMatrix* matrix;     /* the children side by side when their grids are small, or NULL */
    int16_t level;           /* 0 for the root, parent's level + 1 otherwise */

    /* Makes an empty level-0 base of the context and counts it in baseCount. */
    explicit CvAMBase(CvAMContext* context);
    /* Deletes every descendant, frees the features and uncounts the base. */
    ~CvAMBase();
    CvAMBase(const CvAMBase&) = delete;
    CvAMBase& operator=(const CvAMBase&) = delete;

    /* Empties the base and re-initialises it as a fresh root. */
    void Reset();
    /* Deletes every descendant, returns the children list to the pool and frees the features. */
    void ReleaseChildren();
    /* Makes, attaches and returns a child one level below, trained on area of the integral image, or
       copied from features and header when those are given. */
    CvAMBase* CreateChild(const CvMat* integral, CvRect area, const int16_t* features = NULL,
                          const CvAMBaseHeader* header = NULL);
    /* Finds the closest child for *area, trying four shifts; true when it matched, *area then refined. */
    bool MatchChildren(const CvMat* integral, CvRect* area, CvAMBase** best, int* score = NULL);
    /* The training descent of the area written at (x0, y0), labelling the path with *apData. */
    void Learn(const CvMat* integral, int x0, int y0, CvRect* area, const int* apData);
    /* The recall descent; reports the last base reached and sets the context's matched flag. */
    void Find(const CvMat* integral, CvRect* area, int** dataOut, uint64_t* indexOut, uint64_t* hitsOut,
              int* score, bool countAll);
    /* Forgets rarely used bases of the subtree and the branches left without leaves. */
    void Prune();
};

/* One object followed by the tracker: an element of CvAssociativeMemory::tracks. */
struct CvAMTrack
{
    uint8_t active;         /* 1 while the track lives; 0 marks a free slot */
    int32_t centreX;        /* reference centre in image pixels, from the last measurement */
    int32_t centreY;        /* reference centre in image pixels, from the last measurement */
    float estimateX;        /* filter estimate: displacement per update in base-window units */
    float estimateY;        /* filter estimate: displacement per update in base-window units */
    int32_t width;          /* object width in image pixels as last measured */
    int32_t height;         /* object height in image pixels as last measured */
    double confidence;      /* decaying sum of scores: halved every frame, raised by every update */
    int32_t data;           /* the object type recognised for the object */
    uint64_t lastFrame;     /* frameCounter when the track was last created or updated */
    int32_t hits;           /* updates since the track was created */
    CvConDensation* filter; /* the slot's particle filter, kept when the track is dropped */
    void* userData;         /* one block the event function may attach; owned by the tracker */
};

/* Recognised windows of one frame merged into one object: an element of CvAssociativeMemory::detections. */
struct CvAMDetection
{
    int32_t sumX;         /* sum of the merged windows' centre x, image pixels */
    int32_t sumY;         /* sum of their centre y */
    int32_t sumWidth;     /* sum of their widths */
    int32_t sumHeight;    /* sum of their heights */
    double sumConfidence; /* sum of their read confidences */
    int32_t count;        /* number of merged windows, at least 1 */
    int32_t data;         /* the object type shared by all merged windows */
};

/* What accompanies a tracking event. */
struct CvAMObjectInfo
{
    CvRect rect;       /* the object's rectangle in image pixels */
    double confidence; /* a score in 0..1: read score, mean score or track confidence */
    int bases;         /* the memory's baseCount at the time */
    void** userSlot;   /* address of the reported track's user data field, or NULL */
};

/* The caller's event function: event code, object type (or NULL), info (or NULL), user pointer. */
typedef void (*RcgAMFunc)(int event, int* type, CvAMObjectInfo* info, void* userPointer);

/* A window function of the scan: called with every window and the scan's context. */
typedef void (*CvAMWindowFunc)(CvRect window, void* context);

/* The window function handed to ScanImage, as a small value. */
struct CvAMScanFunc
{
    CvAMWindowFunc function; /* called for every window of every scale */
};

/* What ObjectTracking passes through ScanImage to RecognizeWindow. */
struct CvAMScanContext
{
    CvAssociativeMemory* memory; /* the memory being scanned */
    RcgAMFunc* eventFunc;        /* address of the running ObjectTracking call's event function */
    void* userPointer;           /* that call's user pointer, passed to every event unchanged */
};

/* The associative memory with the tracker's state. */
struct CvAssociativeMemory
{
    CvSeq* detections;       /* this frame's CvAMDetection records */
    CvSeq* tracks;           /* CvAMTrack slots; slots of dropped tracks are reused, never removed */
    CvMat* lowerBound;       /* 2 x 1 CV_32FC1 {-stepX, -stepY}: lower corner of a new track's samples */
    CvMat* upperBound;       /* 2 x 1 CV_32FC1 {stepX, stepY}: upper corner of a new track's samples */
    int32_t gateRadius2;     /* ((alignedWidth + stepX)^2 + (alignedHeight + stepY)^2) / 4 */
    int32_t sizeTolerance2;  /* trunc((width^2 + height^2) x 0.0625) */
    int32_t stepX;           /* alignedWidth / (level-1 grid width + 2): level-1 cell width, aligned units */
    int32_t stepY;           /* alignedHeight / (level-1 grid height + 2) */
    float stepX2;            /* stepX^2 */
    float stepY2;            /* stepY^2 */
    uint64_t frameCounter;   /* completed ObjectTracking calls */
    CvAMBase* root;          /* the root base; NULL until Create */
    CvAMContext context;     /* settings and statistics shared by the bases */
    int32_t sourceWidth;     /* width of the image given to SetImage */
    int32_t sourceHeight;    /* height of the image given to SetImage */
    CvMat sourceHeader;      /* header storage for the source view */
    CvMat* source;           /* view of the current source image; NULL until a successful SetImage */
    CvMat* integral;         /* CV_32SC1 integral image of the source, (rows + 1) x (cols + 1) */
    int32_t prunedBaseCount; /* baseCount right after the last pruning pass */
    int32_t readDataCopy;    /* data the last Read handed out, copied when the pass after it pruned */

    /* Makes the storage and the empty lists; the memory still has to be created. */
    CvAssociativeMemory();
    /* Releases everything, then the storage. */
    ~CvAssociativeMemory();
    CvAssociativeMemory(const CvAssociativeMemory&) = delete;
    CvAssociativeMemory& operator=(const CvAssociativeMemory&) = delete;

    /* Builds an empty memory for an interest area of width x height; levels 0 chooses the depth. */
    void Create(int width, int height, int16_t levels = 0);
    /* Rescales the per-level areas for an interest area of a new size; grids and levels stay. */
    void SetAreaSize(int width, int height);
    /* Frees the tree, tables, matrices and tracks so that the memory can be created again. */
    void Release();

    /* Takes an 8-bit single-channel image as the current frame and computes its integral image. */
    void SetImage(const CvArr* image);
    /* Trains the memory on an area of the current frame under the data value *apData. */
    void Write(CvRect area, const int* apData);
    /* Recalls the area: true when recognised (also left in context.matched); every output is optional. */
    bool Read(CvRect area, CvRect* foundArea = NULL, int** data = NULL, uint64_t* index = NULL,
              uint64_t* hits = NULL, double* probability = NULL, bool countAll = false);

    /* Serialises the whole memory into buffer, which holds at least dataSize + 40 (baseCount + 1) bytes. */
    void WritePackedData(void* buffer);
    /* Rebuilds the memory from a record of size bytes made by WritePackedData; false after a refusal. */
    bool ReadPackedData(const void* buffer, size_t size);
    /* How many of size bytes a record starting with this 40-byte header can take, so that the rest (spare
       bytes that mean nothing) need not be read; 0 when no record of size bytes can start with it. */
    static size_t GetPackedDataLimit(const void* header, size_t size);

    /* One tracking step on the current frame, reporting through eventFunc. */
    void ObjectTracking(RcgAMFunc eventFunc, void* userPointer, bool learning, double learningCeiling,
                        double acceptanceFloor);
    /* Calls scanFunc for every window of every scale of the current frame. */
    void ScanImage(CvAMScanFunc scanFunc, void* context);
};

/* The tracker's window function: reads one window and merges a recognised one into the detections.
   context is a CvAMScanContext*. */
void RecognizeWindow(CvRect window, void* context);

/* Fills out with the cols x rows contrast features of area, read from the integral image. */
void ExtractFeatures(const CvMat* integral, CvRect area, int cols, int rows, int16_t* out);

/* Sum of absolute differences of two cols x rows feature vectors. */
uint64_t FeatureDistance(int cols, int rows, const int16_t* a, const int16_t* b);
