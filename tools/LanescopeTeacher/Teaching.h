#pragma once
// Teaching a memory from annotated boxes, with an area of the objects' own size and shape: either at the
// windows of the tracker's own scan that show each object (the default), or the way a click on each
// object's centre in pick mode would; and then recalling the taught objects again so that the bases which
// recognise them gather the hits that tracking would give them: the save's pruning drops every base with
// fewer than 8 hits, and a base that one click made has 2.

#include "Annotations.h"
#include "CvAssociativeMemory.h"

#include <opencv2/videoio.hpp>

#include <map>
#include <set>
#include <string>

/* Which views of an object are taught. */
enum class CvTeachingViews {
    Scan,  /* the windows of the tracker's scan whose recognition would report the object, until it does */
    Centre /* the area of the memory's size centred on the object's box, as a click in pick mode places it */
};

/* How much of the annotated video is taught, and how. */
struct CvTeachingBudget
{
    int frames = 1 << 30; /* the video's first frames that are taught */
    int every = 1;        /* only every this many-th of them */
    int passes = 4;       /* recall passes over the taught boxes after teaching */
    std::set<int> ids;    /* only the objects of these ids; empty: every object */
    cv::Size area;        /* the memory's area; empty: chosen from the taught boxes by ChooseArea */
    CvTeachingViews views = CvTeachingViews::Scan; /* which views of each object are taught */
    int scales = 2;       /* Scan: the scan's scales nearest each object's size whose windows are taught */
    double overlap = 0.6; /* Scan: a window is taught when the box it reports overlaps the object's this
                             much (intersection over union) */
    int tries = 9;        /* Scan: areas written at most for one window: the window, then those a pixel
                             round it, until the memory recognises the window */
};

/* What became of one type's annotated boxes. */
struct CvTypeTally
{
    int taught = 0;   /* areas written and read back */
    int outside = 0;  /* skipped: the taught area reaches outside the frame */
    int tooSmall = 0; /* skipped: the object is less than half the area wide and high */
    int unfitted = 0; /* skipped: no window of the scan reports a box that a match would take for it */
};

/* The memory's area chosen for the boxes to teach. */
struct CvAreaChoice
{
    cv::Size median; /* the median width and the median height of the boxes; empty when there are none */
    cv::Size area;   /* the median made at least the memory's smallest area and at most the frame */
};

/* Teaching's outcome, by type. */
struct CvTeachingReport
{
    std::map<int, CvTypeTally> byType; /* the tally of each type */
    int retaught = 0;                  /* areas taught again after the pruning left them unrecognised */
    CvAreaChoice area;                 /* the memory's area, and the median it came from unless given */
    /* The areas taught from the annotations, every type together. */
    int Taught() const;
};

/* The area for a memory taught the boxes of annotations within budget (its frames, every K-th, its ids) in
   frames of the given size: their median width and median height, so that a window of the memory's shape
   over an object overlaps its box. Each side is at least the smallest a memory takes (40) and at most the
   frame's, as a taught area must lie in the frame. */
CvAreaChoice ChooseArea(const CvAnnotations& annotations, const CvTeachingBudget& budget,
                        const cv::Size& frame);

/* Creates memory with budget's area, or the one ChooseArea gives, and teaches it the boxes of annotations
   on the frames of videoPath within budget, in budget's views. Unless budget.passes is 0 it then makes that
   many recall passes over them, prunes the memory, teaches again what it no longer recognises, and makes
   the passes once more. False when the video cannot be opened. */
bool TeachFromVideo(CvAssociativeMemory& memory, const std::string& videoPath,
                    const CvAnnotations& annotations, const CvTeachingBudget& budget,
                    CvTeachingReport& report);

/* Teaches memory, created, the objects of annotations at the scan's windows, as TeachFromVideo does with
   CvTeachingViews::Scan. */
bool TeachScanViews(CvAssociativeMemory& memory, const std::string& videoPath,
                    const CvAnnotations& annotations, const CvTeachingBudget& budget,
                    CvTeachingReport& report);

/* Hands a decoded colour frame to memory as Lanescope does: turned upside down in place, then made into
   grey by Lanescope's pipeline. */
void SetDecodedFrame(CvAssociativeMemory& memory, cv::Mat& frame, cv::Mat& grey);

/* Opens videoPath with FFmpeg as a plain file, whatever its name looks like; the capture is not open when
   the file cannot be read. Unlike the programs' front-end it takes the name as it is given. */
bool OpenVideo(cv::VideoCapture& video, const std::string& videoPath);
