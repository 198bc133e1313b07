// LanescopeEval: scores a tracks file against ground truth with the CLEAR-MOT and identity measures.
//
//   LanescopeEval truth_gt.txt tracks.txt [--frames FIRST-LAST] [--iou T]
//
// Prints one "name value" line per measure.

#include "TrackingEval.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static int Usage()
{
    std::fprintf(stderr,
                 "usage: LanescopeEval truth_gt.txt tracks.txt [--frames FIRST-LAST] [--iou T]\n"
                 "  scores the tracks (frame,id,left,top,width,height,conf,...) against the ground truth\n"
                 "  (frame,id,left,top,width,height,flag,class,visibility; flag 0 lines ignored) over the\n"
                 "  frames FIRST to LAST (default: all); a box matches at IoU >= T (default 0.5)\n");
    return 2;
}

int main(int argc, char** argv)
{
    ScoreOptions options;
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
    if (!ReadMotFile(files[0], MotFileKind::GroundTruth, truth, error) ||
        !ReadMotFile(files[1], MotFileKind::Results, tracks, error)) {
        std::fprintf(stderr, "LanescopeEval: %s\n", error.c_str());
        return 1;
    }
    const TrackingScores s = ScoreTracks(truth, tracks, options);
    std::printf("MOTA %.4f\nMOTP %.4f\nIDF1 %.4f\nIDP %.4f\nIDR %.4f\nprecision %.4f\nrecall %.4f\n"
                "switches %ld\nfragmentations %ld\nmatches %ld\nmisses %ld\nfalse_positives %ld\n"
                "objects %d\nmostly_tracked %d\npartly_tracked %d\nmostly_lost %d\n",
                s.mota, s.motp, s.idf1, s.idPrecision, s.idRecall, s.precision, s.recall, s.idSwitches,
                s.fragmentations, s.matches, s.misses, s.falsePositives, s.objects, s.mostlyTracked,
                s.partlyTracked, s.mostlyLost);
    return 0;
}
