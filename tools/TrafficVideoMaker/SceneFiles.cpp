// The files of a scene: the video as a file stores it, the boxes in the programs' coordinates, the
// MOTChallenge ground truth in the file's, and what each object is.

#include "FileRows.h"
#include "TrafficScene.h"

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

/* visibility as the ground truth writes it: at most three decimals without trailing zeros, 1 and 0 only
   for wholly seen and wholly hidden. */
std::string VisibilityText(double visibility)
{
    if (visibility >= 1)
        return "1";
    if (visibility <= 0)
        return "0";
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", std::clamp(visibility, 0.001, 0.999));
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    return s;
}

} // namespace

bool WriteSceneGroundTruth(const TrafficScene& scene, const std::string& gtPath, int frameCount)
{
    std::FILE* gt = std::fopen(gtPath.c_str(), "w");
    if (!gt)
        return false;
    const int height = scene.options.height;
    for (int k = 0; k < frameCount; ++k)
        for (const SceneObject& o : scene.Boxes(k))
            // The ground truth counts the stored frame's rows. An object wholly hidden is flagged 0, which
            // tells evaluators to ignore it.
            std::fprintf(gt, "%d,%d,%d,%d,%d,%d,%d,%d,%s\n", k + 1, o.id, o.box.x,
                         FlippedTop(o.box.y, o.box.height, height), o.box.width, o.box.height,
                         o.visibility > 0 ? 1 : 0, o.id, VisibilityText(o.visibility).c_str());
    return std::fclose(gt) == 0;
}

bool WriteSceneVideo(const TrafficScene& scene, const std::string& aviPath, int frameCount, double fps,
                     const std::string& csvPath, const std::string& gtPath)
{
    if (frameCount < 0 || !(fps > 0))
        return false;
    if (!gtPath.empty() && !WriteSceneGroundTruth(scene, gtPath, frameCount))
        return false;
    cv::VideoWriter writer(aviPath, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps,
                           cv::Size(scene.options.width, scene.options.height), true);
    if (!writer.isOpened())
        return false;
    std::FILE* csv = nullptr;
    if (!csvPath.empty()) {
        csv = std::fopen(csvPath.c_str(), "w");
        if (!csv)
            return false;
        std::fprintf(csv, "frame,id,x,y,width,height\n");
    }
    cv::Mat frame, stored;
    for (int k = 0; k < frameCount; ++k) {
        scene.Render(k, frame);
        // Files hold their frames bottom-up; the programs turn each one upright again.
        cv::flip(frame, stored, 0);
        writer.write(stored);
        if (csv)
            // Only what can be seen, for whoever teaches from these boxes would learn the cover instead.
            for (const SceneObject& o : scene.Boxes(k))
                if (o.visibility > 0)
                    std::fprintf(csv, "%d,%d,%d,%d,%d,%d\n", k, o.id, o.box.x, o.box.y, o.box.width,
                                 o.box.height);
    }
    bool ok = true;
    if (csv)
        ok = std::fclose(csv) == 0;
    return ok;
}

bool WriteSceneLegend(const TrafficScene& scene, const std::string& path)
{
    std::FILE* legend = std::fopen(path.c_str(), "w");
    if (!legend)
        return false;
    std::fprintf(legend, "id,kind\n");
    int id = 1;
    for (const ObjectKind kind : scene.Kinds())
        std::fprintf(legend, "%d,%s\n", id++, ObjectKindName(kind));
    return std::fclose(legend) == 0;
}
