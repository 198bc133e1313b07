#pragma once
// TrackingEval: reads tracks and ground truth in the MOTChallenge text layouts and scores the one against
// the other with the CLEAR-MOT and identity measures.
//
//     std::vector<MotBox> truth, tracks;
//     std::string error;
//     if (!ReadMotFile("video_gt.txt", MotFileKind::GroundTruth, truth, error) ||
//         !ReadMotFile("video_tracks.txt", MotFileKind::Results, tracks, error))
//         fail(error);
//     ScoreOptions options;              // IoU >= 0.5 makes a match
//     options.firstFrame = 101;          // score frames 101..300 only
//     options.lastFrame = 300;
//     const TrackingScores s = ScoreTracks(truth, tracks, options);
//     std::printf("MOTA %.3f IDF1 %.3f\n", s.mota, s.idf1);
//
// Both files hold one box per line, "frame,id,left,top,width,height,..." with frames from 1 and boxes in the
// pixels of the video file (top-left origin). Ground-truth lines whose seventh column (the flag) is 0 are
// left out when read; results keep their seventh column as a confidence. The eighth column is the class of
// ground truth and the type of results (Lanescope writes its type there; -1, the layout's 2D "x", means
// none), from which the matched boxes' type accuracy is scored.

#include <opencv2/core.hpp>

#include <climits>
#include <cmath>
#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

/* One line of a MOTChallenge file. */
struct MotBox
{
    int frame = 0;      /* frame number, 1 upwards */
    int id = 0;         /* the trajectory the box belongs to */
    cv::Rect2d box;     /* left, top, width, height in pixels of the video file */
    double score = 1.0; /* seventh column: flag of ground truth, confidence of results */
    int type = -1;      /* eighth column: class of ground truth, type of results; -1 when absent */
};

/* Which layout a file follows. */
enum class MotFileKind {
    GroundTruth, /* frame,id,left,top,width,height,flag,class,visibility; flag 0 lines are dropped */
    Results      /* frame,id,left,top,width,height,conf,x,y,z */
};

/* Reads the boxes of a MOTChallenge text from in into boxes, skipping a UTF-8 byte-order mark, blank lines
   and a first line of column names; a line may end with one comma. False, with a message naming the line
   in error, when a line is not a box or an id appears twice in one frame. Unless flaggedOff is null, it
   receives the number of ground-truth boxes left out for their flag 0. */
bool ReadMotText(std::istream& in, MotFileKind kind, std::vector<MotBox>& boxes, std::string& error,
                 long* flaggedOff = nullptr);

/* ReadMotText on the file at path; the message also names the file. */
bool ReadMotFile(const std::string& path, MotFileKind kind, std::vector<MotBox>& boxes, std::string& error,
                 long* flaggedOff = nullptr);

/* The intersection over union of two boxes, 0 when either is empty. */
double BoxIou(const cv::Rect2d& a, const cv::Rect2d& b);

/* An optimal assignment of rows to columns of a rectangular cost matrix (cost[row][column], all rows of
   one length): the assignment of min(rows, columns) pairs, one per row or column, of least total cost.
   Returns for each row its column, or -1 when the row is left out. */
std::vector<int> AssignMinimumCost(const std::vector<std::vector<double>>& cost);

/* How tracks are scored. */
struct ScoreOptions
{
    double iouThreshold = 0.5;        /* a box and a track's box match when their IoU is at least this */
    int firstFrame = 1;               /* first frame scored */
    int lastFrame = INT_MAX;          /* last frame scored */
    double minConfidence = -HUGE_VAL; /* track boxes of a lower confidence are left out; truth is kept */
};

/* The measures of one scoring; ratios whose denominator is 0 are 0. */
struct TrackingScores
{
    long truthBoxes = 0;      /* ground-truth boxes scored */
    long trackBoxes = 0;      /* track boxes scored */
    long matches = 0;         /* true positives over all frames */
    long misses = 0;          /* false negatives */
    long falsePositives = 0;  /* track boxes matched to nothing */
    long idSwitches = 0;      /* matches whose track differs from the object's previous one */
    long fragmentations = 0;  /* interruptions of an object's matching that later resumes */
    int objects = 0;          /* ground-truth trajectories */
    int mostlyTracked = 0;    /* objects matched in at least 80% of their frames */
    int partlyTracked = 0;    /* the others that are not mostly lost */
    int mostlyLost = 0;       /* objects matched in at most 20% of their frames */
    double mota = 0;          /* 1 - (misses + false positives + switches) / truth boxes */
    double motp = 0;          /* mean IoU of the matches */
    double precision = 0;     /* matches / track boxes */
    double recall = 0;        /* matches / truth boxes */
    long idTruePositives = 0; /* boxes of the best one-to-one pairing of objects and tracks */
    double idf1 = 0;          /* 2 IDTP / (truth boxes + track boxes) */
    double idPrecision = 0;   /* IDTP / track boxes */
    double idRecall = 0;      /* IDTP / truth boxes */
    long typedMatches = 0;    /* matches whose truth has a class and whose track box has a type */
    long rightTypes = 0;      /* those of them whose type is the class */
    double typeAccuracy = 0;  /* rightTypes / typedMatches */
    std::map<std::pair<int, int>, long> typePairs; /* typed matches by (class, type) */
};

/* Scores tracks against truth over the frames of options. */
TrackingScores ScoreTracks(const std::vector<MotBox>& truth, const std::vector<MotBox>& tracks,
                           const ScoreOptions& options = ScoreOptions());

/* The scores as LanescopeEval reports them: one "name value" line per measure, ratios with four decimals;
   without typed matches the type accuracy reads "-". */
std::string ScoresText(const TrackingScores& scores);

/* The confusion between classes and types: "confusion CLASS TYPE MATCHES" per pair of the typed matches,
   the most frequent first. */
std::string ConfusionText(const TrackingScores& scores);
