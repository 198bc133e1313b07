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
        "[--noise SIGMA] [--csv FILE] [--legend FILE] [SITUATION...] output.avi\n"
        "  writes N frames (default 150) of 640x480 traffic at 25 fps, stored bottom-up, and the true\n"
        "  boxes in the programs' upright coordinates to FILE (default: output.csv beside the video), and\n"
        "  MOTChallenge ground truth in the video file's coordinates to output_gt.txt\n"
        "  seed 1 (the default) is the classic scene of six vehicles in four lanes; every other seed draws\n"
        "  a scene of its own: 2 to 6 lanes both ways, cars, vans, buses and motorbikes\n"
        "  --legend FILE: also writes what each object is, \"id,kind\"\n"
        "  situations, for traffic, combined as you like:\n"
        "    --stop-and-go  a light at a crossing where road users queue and stand still for seconds\n"
        "    --shake        the camera shakes by a few pixels, a few times a second\n"
        "    --pan          the camera pans slowly to and fro across the road\n"
        "    --occlusion    a bridge and a tree over the road; vehicles half in the next lane hide others\n"
        "    --lighting     a cloud's shadow drifts across; the light dims and comes back over 600 frames\n"
        "    --perspective  the ground shrinks towards the top of the picture, to half size at the top\n"
        "    --tall         people and cyclists (about 1 : 3) on paths beside the road\n");
    return 2;
}

/* Sets the situation named by argument in options; false when it names none. */
static bool Situation(const char* argument, TrafficSceneOptions& options)
{
    const struct
    {
        const char* name;
        bool TrafficSceneOptions::*flag;
    } situations[] = {{"--stop-and-go", &TrafficSceneOptions::stopAndGo},
                      {"--shake", &TrafficSceneOptions::shake},
                      {"--pan", &TrafficSceneOptions::pan},
                      {"--occlusion", &TrafficSceneOptions::occlusion},
                      {"--lighting", &TrafficSceneOptions::lighting},
                      {"--perspective", &TrafficSceneOptions::perspective},
                      {"--tall", &TrafficSceneOptions::tall}};
    for (const auto& s : situations)
        if (!std::strcmp(argument, s.name)) {
            options.*s.flag = true;
            return true;
        }
    return false;
}

int main(int argc, char** argv)
{
    TrafficSceneOptions options;
    int frames = 150;
    double fps = 25.0;
    std::string output, csv, legend;
    bool csvGiven = false, situations = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(a, "--squares")) {
            options.kind = SceneKind::Squares;
        } else if (Situation(a, options)) {
            situations = true;
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
        } else if (!std::strcmp(a, "--legend") && hasValue) {
            legend = argv[++i];
        } else if (a[0] == '-' || !output.empty()) {
            return Usage();
        } else {
            output = a;
        }
    }
    if (output.empty() || frames < 1 || options.width < 16 || options.height < 16 || !(fps > 0))
        return Usage();
    if (situations && options.kind == SceneKind::Squares) {
        std::fprintf(stderr, "TrafficVideoMaker: the situations are for traffic, not for --squares\n");
        return 2;
    }
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
    if (!legend.empty() && !WriteSceneLegend(scene, legend)) {
        std::fprintf(stderr, "TrafficVideoMaker: cannot write %s\n", legend.c_str());
        return 1;
    }
    return 0;
}
