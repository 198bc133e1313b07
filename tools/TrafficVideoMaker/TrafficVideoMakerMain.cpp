// TrafficVideoMaker: writes a synthetic video (Motion JPEG AVI) and the true boxes of its objects (CSV, and
// MOTChallenge ground truth in name_gt.txt).

#include "TrafficScene.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static int Usage()
{
    std::fprintf(
        stderr,
        "usage: TrafficVideoMaker [--squares] [--frames N] [--size WxH] [--fps F] [--seed S] "
        "[--noise SIGMA] [--csv FILE] output.avi\n"
        "  writes N frames (default 150) of 640x480 traffic at 25 fps, stored bottom-up, and the true\n"
        "  boxes in the programs' upright coordinates to FILE (default: output.csv beside the video), and\n"
        "  MOTChallenge ground truth in the video file's coordinates to output_gt.txt\n");
    return 2;
}

int main(int argc, char** argv)
{
    TrafficSceneOptions options;
    int frames = 150;
    double fps = 25.0;
    std::string output, csv;
    bool csvGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(a, "--squares")) {
            options.kind = SceneKind::Squares;
        } else if (!std::strcmp(a, "--frames") && hasValue) {
            frames = std::atoi(argv[++i]);
        } else if (!std::strcmp(a, "--size") && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2)
                return Usage();
        } else if (!std::strcmp(a, "--fps") && hasValue) {
            fps = std::atof(argv[++i]);
        } else if (!std::strcmp(a, "--seed") && hasValue) {
            options.seed = unsigned(std::strtoul(argv[++i], nullptr, 10));
        } else if (!std::strcmp(a, "--noise") && hasValue) {
            options.noise = std::atof(argv[++i]);
        } else if (!std::strcmp(a, "--csv") && hasValue) {
            csv = argv[++i];
            csvGiven = true;
        } else if (a[0] == '-' || !output.empty()) {
            return Usage();
        } else {
            output = a;
        }
    }
    if (output.empty() || frames < 1 || options.width < 16 || options.height < 16 || !(fps > 0))
        return Usage();
    const std::size_t dot = output.rfind('.');
    const std::size_t slash = output.rfind('/');
    const std::string name = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? output.substr(0, dot)
                                 : output;
    if (!csvGiven)
        csv = name + ".csv";
    const std::string gt = name + "_gt.txt";

    const TrafficScene scene(options);
    if (!WriteSceneVideo(scene, output, frames, fps, csv, gt)) {
        std::fprintf(stderr, "TrafficVideoMaker: cannot write %s, %s or %s\n", output.c_str(), csv.c_str(),
                     gt.c_str());
        return 1;
    }
    return 0;
}
