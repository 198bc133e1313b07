#pragma once
// The annotated boxes a memory is taught from, read from either of two text layouts, told apart by the
// file's content:
//
// - the synthetic video maker's boxes: a header line, then "frame,id,x,y,width,height" with frames
//   numbered from 0 and boxes in the analysed coordinates (the frame as the programs see it once they
//   have turned it upside down);
// - MOTChallenge ground truth, as annotation tools export it: no header, "frame,id,left,top,width,height,
//   flag,class,visibility" with frames numbered from 1, boxes in the video file's coordinates (row 0 at
//   the top of the picture as a player shows it), fractional values allowed, flag 0 marking a box not to
//   be used.
//
// A first data line of six values is the maker's layout; seven or more values make it ground truth. Both
// are read as the evaluator reads its files: a UTF-8 byte-order mark, blank lines and a first line of
// column names are skipped, a line may end with one comma, and an id appears at most once in a frame.

#include <opencv2/core.hpp>

#include <map>
#include <string>
#include <vector>

/* Where an annotated box's object type comes from. */
enum class CvTypeSource {
    Class, /* the ground truth's class column (the maker's boxes have none and use their id) */
    Track  /* the track id */
};

/* One annotated object in one frame. */
struct CvAnnotatedBox
{
    int id;       /* the object's id in the file */
    int type;     /* the object type it is taught as */
    cv::Rect box; /* its box in analysed coordinates */
};

/* The boxes of a file, by frame index counted from 0 as the video's frames are decoded. */
struct CvAnnotations
{
    bool groundTruth = false;                           /* the file had the MOTChallenge layout */
    std::map<int, std::vector<CvAnnotatedBox>> byFrame; /* every box to teach */
};

/* Reads the boxes of path for a video whose frames are frameHeight rows high. False, with a reason in
   error, when the file cannot be read, holds no box, has a line that is neither layout, or repeats an id
   in a frame. */
bool ReadAnnotations(const std::string& path, int frameHeight, CvTypeSource source,
                     CvAnnotations& annotations, std::string& error);
