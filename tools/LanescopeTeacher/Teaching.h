#pragma once
// Teaching a memory from annotated boxes, the way a click on each object's centre in pick mode would, and
// then recalling the taught boxes again so that the bases which recognise them gather the hits that
// tracking would give them: the save's pruning drops every base with fewer than 8 hits, and a base that
// one click made has 2.

#include "Annotations.h"
#include "CvAssociativeMemory.h"

#include <opencv2/videoio.hpp>

#include <map>
#include <set>
#include <string>

/* How much of the annotated video is taught, and how. */
struct CvTeachingBudget
{
    int frames = 1 << 30; /* the video's first frames that are taught */
    int every = 1;        /* only every this many-th of them */
    int passes = 4;       /* recall passes over the taught boxes after teaching */
    std::set<int> ids;    /* only the objects of these ids; empty: every object */
};

/* What became of one type's annotated boxes. */
struct CvTypeTally
{
    int taught = 0;   /* areas written and read back */
    int outside = 0;  /* skipped: the taught area reaches outside the frame */
    int tooSmall = 0; /* skipped: the object is less than half the area wide and high */
};

/* Teaching's outcome, by type. */
struct CvTeachingReport
{
    std::map<int, CvTypeTally> byType; /* the tally of each type */
    int retaught = 0;                  /* areas taught again after the pruning left them unrecognised */
    /* The areas taught from the annotations, every type together. */
    int Taught() const;
};

/* Creates memory with the selection's size and teaches it the boxes of annotations on the frames of
   videoPath within budget. Unless budget.passes is 0 it then makes that many recall passes over them,
   prunes the memory, teaches again what it no longer recognises, and makes the passes once more. False
   when the video cannot be opened. */
bool TeachFromVideo(CvAssociativeMemory& memory, const std::string& videoPath,
                    const CvAnnotations& annotations, const CvTeachingBudget& budget,
                    CvTeachingReport& report);

/* Hands a decoded colour frame to memory as Lanescope does: turned upside down in place, then made into
   grey by Lanescope's pipeline. */
void SetDecodedFrame(CvAssociativeMemory& memory, cv::Mat& frame, cv::Mat& grey);

/* Opens videoPath as the programs do; the capture is not open when the file cannot be read. */
bool OpenVideo(cv::VideoCapture& video, const std::string& videoPath);
