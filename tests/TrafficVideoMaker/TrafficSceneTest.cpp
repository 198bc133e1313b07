// TrafficScene: deterministic frames, truthful boxes, and files stored the way the programs expect.

#include "TrafficScene.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

double MeanDifference(const cv::Mat& a, const cv::Mat& b)
{
    return cv::norm(a, b, cv::NORM_L1) / static_cast<double>(a.total() * a.channels());
}

} // namespace

TEST(TrafficScene, FramesAreDeterministicAndMove)
{
    const TrafficScene a{TrafficSceneOptions{}};
    const TrafficScene b{TrafficSceneOptions{}};
    TrafficSceneOptions otherSeed;
    otherSeed.seed = 2;
    const TrafficScene c{otherSeed};
    cv::Mat fa, fb, fc, next;
    a.Render(17, fa);
    b.Render(17, fb);
    c.Render(17, fc);
    a.Render(18, next);
    ASSERT_EQ(fa.type(), CV_8UC3);
    ASSERT_EQ(fa.size(), cv::Size(640, 480));
    EXPECT_EQ(cv::norm(fa, fb, cv::NORM_INF), 0.0) << "same options, same frame";
    EXPECT_GT(MeanDifference(fa, fc), 1.0) << "another seed, another texture";
    EXPECT_GT(MeanDifference(fa, next), 1.0) << "consecutive frames differ";
}

TEST(TrafficScene, VehiclesHaveTheAdvertisedSizesSpeedsAndStart)
{
    const TrafficScene scene{TrafficSceneOptions{}};
    const cv::Rect whole(0, 0, 640, 480);
    const cv::Rect startRectangle(370, 154, 100, 100);

    const std::vector<SceneObject> first = scene.Boxes(0);
    ASSERT_GE(first.size(), 4u);
    bool startCovered = false;
    for (const SceneObject& o : first)
        startCovered |= (o.box & startRectangle) == startRectangle;
    EXPECT_TRUE(startCovered) << "a vehicle must lie under the start rectangle in frame 0";

    std::set<int> speeds;
    for (int k = 0; k < 400; ++k) {
        const std::vector<SceneObject> boxes = scene.Boxes(k);
        std::set<int> ids;
        for (const SceneObject& o : boxes) {
            EXPECT_TRUE(ids.insert(o.id).second);
            EXPECT_EQ(o.box & whole, o.box) << "boxes are clipped to the frame";
            EXPECT_GE(std::min(o.box.width, o.box.height), 1);
            EXPECT_LE(std::max(o.box.width, o.box.height), 120);
            if (o.box.y > 0 && o.box.y + o.box.height < 480) {
                EXPECT_GE(o.box.width, 80) << "vehicle " << o.id << " frame " << k;
                EXPECT_GE(o.box.height, 80) << "vehicle " << o.id << " frame " << k;
            }
        }
        for (std::size_t i = 0; i < boxes.size(); ++i)
            for (std::size_t j = i + 1; j < boxes.size(); ++j)
                EXPECT_TRUE((boxes[i].box & boxes[j].box).empty()) << "vehicles never overlap, frame " << k;
    }
    // Displacement over ten frames of each vehicle wholly inside the frame at both ends.
    auto inside = [](const cv::Rect& box) { return box.y > 0 && box.y + box.height < 480; };
    for (int k = 0; k < 400; k += 10)
        for (const SceneObject& o : scene.Boxes(k))
            for (const SceneObject& later : scene.Boxes(k + 10))
                if (o.id == later.id && inside(o.box) && inside(later.box))
                    speeds.insert(later.box.y - o.box.y);
    EXPECT_GE(speeds.size(), 3u) << "vehicles drive at different speeds";
}

TEST(TrafficScene, SquaresAreUniformRectanglesWhereTheBoxesSay)
{
    TrafficSceneOptions options;
    options.kind = SceneKind::Squares;
    options.noise = 0.0;
    const TrafficScene scene(options);
    cv::Mat frame, grey;
    for (int k : {0, 37, 150}) {
        scene.Render(k, frame);
        cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
        const std::vector<SceneObject> boxes = scene.Boxes(k);
        ASSERT_EQ(boxes.size(), 6u);
        for (const SceneObject& o : boxes) {
            EXPECT_GE(std::min(o.box.width, o.box.height), 40);
            EXPECT_LE(std::max(o.box.width, o.box.height), 60);
            double low, high;
            cv::minMaxLoc(grey(o.box), &low, &high);
            EXPECT_EQ(low, high) << "square " << o.id << " is filled with one value";
            EXPECT_TRUE(high < 60 || high > 200) << "square " << o.id << " is dark or light";
            // Just outside the outline lies the background, clearly apart from the fill.
            const cv::Rect ring(o.box.x - 2, o.box.y - 2, o.box.width + 4, o.box.height + 4);
            const double outside =
                (cv::sum(grey(ring))[0] - cv::sum(grey(o.box))[0]) / (ring.area() - o.box.area());
            EXPECT_GT(std::abs(outside - high), 50.0) << "square " << o.id;
        }
    }
}

TEST(TrafficScene, WrittenVideoIsStoredUpsideDownWithItsBoxes)
{
    TrafficSceneOptions options;
    options.width = 160;
    options.height = 120;
    const TrafficScene scene(options);
    const TempFolder folder;
    const std::string base = folder / "scene";
    ASSERT_TRUE(WriteSceneVideo(scene, base + ".avi", 4, 10.0, base + ".csv", base + "_gt.txt"));

    cv::VideoCapture video(base + ".avi");
    ASSERT_TRUE(video.isOpened());
    cv::Mat stored, upright, rendered, firstStored;
    int count = 0;
    while (video.read(stored)) {
        cv::flip(stored, upright, 0);
        scene.Render(count, rendered);
        EXPECT_LT(MeanDifference(upright, rendered), 8.0) << "frame " << count;
        if (count == 0)
            stored.copyTo(firstStored);
        ++count;
    }
    EXPECT_EQ(count, 4);

    // The ground truth's first line boxes the first object where the file, as a player shows it, has it.
    std::ifstream gt(base + "_gt.txt");
    std::string gtLine;
    ASSERT_TRUE(std::getline(gt, gtLine));
    int frame, id, left, top, width, height, flag, type, visibility;
    ASSERT_EQ(std::sscanf(gtLine.c_str(), "%d,%d,%d,%d,%d,%d,%d,%d,%d", &frame, &id, &left, &top, &width,
                          &height, &flag, &type, &visibility),
              9);
    const SceneObject first = scene.Boxes(0).at(0);
    EXPECT_EQ(frame, 1);
    EXPECT_EQ(id, first.id);
    EXPECT_EQ(type, first.id);
    EXPECT_EQ(flag * visibility, 1);
    cv::Mat object;
    scene.Render(0, rendered);
    cv::flip(rendered(first.box), object, 0);
    // Small textured boxes lose much to the codec; the box must still fit better than one row off.
    const double fit = MeanDifference(firstStored(cv::Rect(left, top, width, height)), object);
    for (int off : {-1, 1})
        EXPECT_LT(fit, MeanDifference(firstStored(cv::Rect(left, top + off, width, height)), object)) << off;

    std::ifstream csv(base + ".csv");
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frame,id,x,y,width,height");
    std::size_t rows = 0;
    for (int k = 0; k < 4; ++k)
        for (const SceneObject& o : scene.Boxes(k)) {
            ASSERT_TRUE(std::getline(csv, line));
            char expected[96];
            std::snprintf(expected, sizeof expected, "%d,%d,%d,%d,%d,%d", k, o.id, o.box.x, o.box.y,
                          o.box.width, o.box.height);
            EXPECT_EQ(line, expected);
            ++rows;
        }
    EXPECT_GT(rows, 0u);
    EXPECT_FALSE(std::getline(csv, line));

    EXPECT_FALSE(WriteSceneVideo(scene, "/nonexistent-dir/x.avi", 2, 10.0, ""));
}
