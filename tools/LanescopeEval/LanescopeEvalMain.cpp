// LanescopeEval: scores a tracks file against ground truth with the CLEAR-MOT and identity measures.
//
//   LanescopeEval truth_gt.txt tracks.txt [--frames FIRST-LAST] [--iou T] [--min-conf C] [--confusion]
//
// Prints one "name value" line per measure, then with --confusion one "confusion CLASS TYPE MATCHES" line
// per pair of the truth's class and the track's type among the matches. Exits 1 when a file is refused or no
// ground-truth box falls in the scored frames (a score of nothing would read as a real one), 2 on a wrong
// command line.

#include "TrackingEval.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static int Usage()
{
    std::fprintf(
        stderr,
        "usage: LanescopeEval truth_gt.txt tracks.txt [--frames FIRST-LAST] [--iou T] [--min-conf C]\n"
        "                     [--confusion]\n"
        "  scores the tracks (frame,id,left,top,width,height,conf,type,...) against the ground truth\n"
        "  (frame,id,left,top,width,height,flag,class,visibility; flag 0 lines ignored) over the\n"
        "  frames FIRST to LAST (default: all); a box matches at IoU >= T (default 0.5); track boxes\n"
        "  of a confidence below C are left out (default: none); --confusion adds a line per pair of\n"
        "  class and type among the matches: confusion CLASS TYPE MATCHES, the most frequent first\n");
    return 2;
}

/* Why no ground-truth box of truthPath lies in the frames of options, truth being its boxes that are not
   flagged 0 and flaggedOff the number of those that are. */
static std::string NothingScored(const std::string& truthPath, const std::vector<MotBox>& truth,
                                 long flaggedOff, const ScoreOptions& options)
{
    if (truth.empty())
        return flaggedOff > 0 ? "every box of " + truthPath + " is flagged 0 (not to be evaluated)"
                              : truthPath + " holds no box";
    const auto [first, last] = std::minmax_element(
        truth.begin(), truth.end(), [](const MotBox& a, const MotBox& b) { return a.frame < b.frame; });
    return "no box of " + truthPath + " is in frames " + std::to_string(options.firstFrame) + "-" +
           std::to_string(options.lastFrame) + "; its boxes are in frames " + std::to_string(first->frame) +
           "-" + std::to_string(last->frame);
}

int main(int argc, char** argv)
{
    ScoreOptions options;
    bool confusion = false;
    std::string files[2];
    int fileCount = 0;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        char* end = nullptr;
        if (!std::strcmp(a, "--frames") && hasValue) {
            if (std::sscanf(argv[++i], "%d-%d", &options.firstFrame, &options.lastFrame) != 2 ||
                options.firstFrame > options.lastFrame)
                return Usage();
        } else if (!std::strcmp(a, "--iou") && hasValue) {
            options.iouThreshold = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(options.iouThreshold > 0 && options.iouThreshold <= 1))
                return Usage();
        } else if (!std::strcmp(a, "--min-conf") && hasValue) {
            const char* value = argv[++i];
            options.minConfidence = std::strtod(value, &end);
            if (end == value || *end != '\0' || !std::isfinite(options.minConfidence))
                return Usage();
        } else if (!std::strcmp(a, "--confusion")) {
            confusion = true;
        } else if (a[0] == '-' || fileCount == 2) {
            return Usage();
        } else {
            files[fileCount++] = a;
        }
    }
    if (fileCount != 2)
        return Usage();

    std::vector<MotBox> truth, tracks;
    std::string error;
    long flaggedOff = 0;
    if (!ReadMotFile(files[0], MotFileKind::GroundTruth, truth, error, &flaggedOff) ||
        !ReadMotFile(files[1], MotFileKind::Results, tracks, error)) {
        std::fprintf(stderr, "LanescopeEval: %s\n", error.c_str());
        return 1;
    }
    const TrackingScores s = ScoreTracks(truth, tracks, options);
    if (s.truthBoxes == 0) {
        std::fprintf(stderr, "LanescopeEval: nothing was scored: %s\n",
                     NothingScored(files[0], truth, flaggedOff, options).c_str());
        return 1;
    }
    std::fputs(ScoresText(s).c_str(), stdout);
    if (confusion)
        std::fputs(ConfusionText(s).c_str(), stdout);
    return 0;
}
