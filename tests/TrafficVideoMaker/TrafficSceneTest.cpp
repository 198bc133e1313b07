// TrafficScene: deterministic frames, truthful boxes, and files stored the way the programs expect.

#include "TrafficScene.h"
#include "LanescopeSettings.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace {

double MeanDifference(const cv::Mat& a, const cv::Mat& b)
{
    return cv::norm(a, b, cv::NORM_L1) / static_cast<double>(a.total() * a.channels());
}

/* A traffic scene of seed with the situations named by letters: s(top and go), h (shake), p(an),
   o(cclusion), l(ighting), v (perspective), t(all). */
TrafficSceneOptions Drawn(unsigned seed, const std::string& situations)
{
    TrafficSceneOptions o;
    o.seed = seed;
    o.noise = 0;
    for (const char c : situations)
        *(c == 's'   ? &o.stopAndGo
          : c == 'h' ? &o.shake
          : c == 'p' ? &o.pan
          : c == 'o' ? &o.occlusion
          : c == 'l' ? &o.lighting
          : c == 'v' ? &o.perspective
                     : &o.tall) = true;
    return o;
}

bool SameBoxes(const std::vector<SceneObject>& a, const std::vector<SceneObject>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const SceneObject& x, const SceneObject& y) {
        return x.id == y.id && x.box == y.box && x.visibility == y.visibility;
    });
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
    const cv::Rect startRectangle(CV_LS_SELECTION_X, CV_LS_SELECTION_Y, CV_LS_SELECTION_WIDTH,
                                  CV_LS_SELECTION_HEIGHT);

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

TEST(TrafficScene, EachSeedDrawsItsOwnSceneTheSameEveryTime)
{
    std::set<std::size_t> counts;
    std::set<ObjectKind> kinds;
    std::vector<std::vector<SceneObject>> firsts;
    for (unsigned seed = 2; seed <= 9; ++seed) {
        const TrafficScene a(Drawn(seed, "shpolvt")), b(Drawn(seed, "shpolvt"));
        cv::Mat fa, fb;
        for (int k : {0, 151, 299}) {
            a.Render(k, fa);
            b.Render(k, fb);
            EXPECT_EQ(cv::norm(fa, fb, cv::NORM_INF), 0.0) << "seed " << seed << " frame " << k;
            EXPECT_TRUE(SameBoxes(a.Boxes(k), b.Boxes(k))) << "seed " << seed << " frame " << k;
        }
        const TrafficScene plain(Drawn(seed, ""));
        counts.insert(plain.Kinds().size());
        for (const ObjectKind kind : plain.Kinds())
            kinds.insert(kind);
        firsts.push_back(plain.Boxes(0));
    }
    EXPECT_GE(counts.size(), 4u) << "seeds draw different numbers of vehicles";
    EXPECT_EQ(kinds, (std::set<ObjectKind>{ObjectKind::Car, ObjectKind::Van, ObjectKind::Bus,
                                           ObjectKind::Motorbike}));
    for (std::size_t i = 0; i < firsts.size(); ++i)
        for (std::size_t j = i + 1; j < firsts.size(); ++j)
            EXPECT_FALSE(SameBoxes(firsts[i], firsts[j])) << "seeds " << i + 2 << " and " << j + 2;

    // The light dims towards frame 300.
    cv::Mat lit, unlit;
    TrafficScene(Drawn(4, "l")).Render(300, lit);
    TrafficScene(Drawn(4, "")).Render(300, unlit);
    EXPECT_LT(cv::mean(lit)[1], 0.7 * cv::mean(unlit)[1]);
}

TEST(TrafficScene, BoxesLieInTheFrameAndSayHowMuchCanBeSeen)
{
    for (const auto& [seed, situations] : std::vector<std::pair<unsigned, std::string>>{
             {1, "st"}, {3, ""}, {4, "st"}, {5, "hp"}, {6, "v"}, {7, "o"}, {8, "shpolvt"}}) {
        const TrafficScene scene(Drawn(seed, situations));
        const std::vector<ObjectKind> kinds = scene.Kinds();
        const bool flat = situations.find('v') == std::string::npos;
        const bool covered = situations.find('o') != std::string::npos;
        const cv::Rect whole(0, 0, 640, 480), inner(1, 1, 638, 478);
        int cut = 0, hiddenInside = 0;
        std::map<int, int> lowHeight, highHeight; // perspective: heights near the top and near the bottom
        for (int k = 0; k < 300; k += 3) {
            const std::vector<SceneObject> boxes = scene.Boxes(k);
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                const SceneObject& o = boxes[i];
                const std::string where = "seed " + std::to_string(seed) + situations + " frame " +
                                          std::to_string(k) + " object " + std::to_string(o.id);
                ASSERT_TRUE(o.id >= 1 && o.id <= int(kinds.size()) && kinds.size() <= 40u) << where;
                ASSERT_TRUE(i == 0 || boxes[i - 1].id < o.id) << where;
                EXPECT_TRUE(!o.box.empty() && (o.box & whole) == o.box) << where;
                EXPECT_TRUE(o.visibility >= 0 && o.visibility <= 1) << where;
                const bool inside = (o.box & inner) == o.box;
                cut += !inside && o.visibility < 1;
                hiddenInside += inside && o.visibility < 1;
                EXPECT_TRUE(covered || !inside || o.visibility == 1) << where << ": nothing hides it";
                for (std::size_t j = i + 1; j < boxes.size() && !covered && flat; ++j)
                    EXPECT_TRUE((o.box & boxes[j].box).empty()) << where << " and " << boxes[j].id;
                const ObjectKind kind = kinds[o.id - 1];
                if (flat && o.visibility == 1 &&
                    (kind == ObjectKind::Person || kind == ObjectKind::Cyclist)) {
                    EXPECT_GE(o.box.height, 2.4 * o.box.width) << where;
                    EXPECT_LE(o.box.height, 3.6 * o.box.width) << where;
                }
                if (inside && o.visibility == 1 && o.box.br().y < 160)
                    highHeight[o.id] = o.box.height;
                if (inside && o.visibility == 1 && o.box.y > 320)
                    lowHeight.emplace(o.id, o.box.height);
            }
        }
        EXPECT_GT(cut, 0) << seed << situations << ": objects cut by the frame's edge are partly seen";
        EXPECT_TRUE(!covered || hiddenInside > 0)
            << seed << situations << ": covers hide objects in the frame";
        int shrunk = 0;
        for (const auto& [id, height] : highHeight)
            shrunk += lowHeight.count(id) && height < 0.8 * lowHeight[id];
        EXPECT_EQ(shrunk > 0, !flat) << seed << situations
                                     << ": objects shrink towards the top with perspective";
    }
}

TEST(TrafficScene, AShakingCameraMovesThePictureAndItsBoxesTogether)
{
    const TrafficScene still(Drawn(5, "")), shaken(Drawn(5, "h"));
    std::set<std::pair<int, int>> moves;
    cv::Mat a, b;
    for (int k = 0; k < 50; ++k) {
        still.Render(k, a);
        shaken.Render(k, b);
        for (const SceneObject& s : still.Boxes(k))
            for (const SceneObject& m : shaken.Boxes(k))
                if (s.id == m.id && s.visibility == 1 && m.visibility == 1) {
                    const cv::Point move = m.box.tl() - s.box.tl();
                    EXPECT_LE(std::max(std::abs(move.x), std::abs(move.y)), 6) << "frame " << k;
                    moves.insert({move.x, move.y});
                    ASSERT_EQ(m.box.size(), s.box.size());
                    // The backgrounds' textures differ; the objects must match best where the boxes say.
                    const double fit = MeanDifference(a(s.box), b(m.box));
                    for (const cv::Point off :
                         {cv::Point(1, 0), cv::Point(-1, 0), cv::Point(0, 1), cv::Point(0, -1)})
                        if (((m.box + off) & cv::Rect(0, 0, 640, 480)) == m.box + off) {
                            EXPECT_LT(fit, MeanDifference(a(s.box), b(m.box + off)))
                                << "frame " << k << " object " << s.id;
                        }
                }
    }
    EXPECT_GE(moves.size(), 5u) << "the camera shakes";
}

TEST(TrafficScene, StopAndGoHoldsRoadUsersStillForSeconds)
{
    for (const bool light : {false, true}) {
        const TrafficScene scene(Drawn(3, light ? "s" : ""));
        std::map<int, cv::Rect> last;
        std::map<int, int> still, longest;
        for (int k = 0; k < 300; ++k)
            for (const SceneObject& o : scene.Boxes(k)) {
                still[o.id] = last[o.id] == o.box && o.visibility == 1 ? still[o.id] + 1 : 0;
                longest[o.id] = std::max(longest[o.id], still[o.id]);
                last[o.id] = o.box;
            }
        int most = 0;
        for (const auto& [id, frames] : longest)
            most = std::max(most, frames);
        if (light)
            EXPECT_GE(most, 40) << "someone waits more than a second and a half at red";
        else
            EXPECT_EQ(most, 0) << "without a light nobody stops";
    }
}

TEST(TrafficScene, WhollyHiddenObjectsAreFlaggedOffAndNotListed)
{
    TrafficSceneOptions options = Drawn(7, "o");
    options.width = 160;
    options.height = 120;
    const TrafficScene scene(options);
    const TempFolder folder;
    const std::string base = folder / "covered";
    ASSERT_TRUE(WriteSceneVideo(scene, base + ".avi", 300, 25.0, base + ".csv", base + "_gt.txt"));
    ASSERT_TRUE(WriteSceneLegend(scene, base + "_legend.csv"));

    std::set<std::pair<int, int>> listed; // (frame from 0, id) of the CSV
    std::ifstream csv(base + ".csv");
    std::string line;
    std::getline(csv, line);
    int frame, id, left, top, width, height, flag, type;
    while (std::getline(csv, line) && std::sscanf(line.c_str(), "%d,%d", &frame, &id) == 2)
        listed.insert({frame, id});
    std::ifstream gt(base + "_gt.txt");
    int flaggedOff = 0;
    std::size_t flaggedOn = 0;
    double visibility;
    while (std::getline(gt, line)) {
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%d,%d,%d,%d,%d,%d,%lf", &frame, &id, &left, &top, &width,
                              &height, &flag, &type, &visibility),
                  9)
            << line;
        EXPECT_EQ(flag, visibility > 0 ? 1 : 0) << line;
        EXPECT_EQ(listed.count({frame - 1, id}), std::size_t(flag)) << line;
        flaggedOff += flag == 0;
        flaggedOn += flag;
    }
    EXPECT_GT(flaggedOff, 0);
    EXPECT_EQ(flaggedOn, listed.size());

    std::ifstream legend(base + "_legend.csv");
    ASSERT_TRUE(std::getline(legend, line));
    EXPECT_EQ(line, "id,kind");
    ASSERT_TRUE(std::getline(legend, line));
    EXPECT_EQ(line, std::string("1,") + ObjectKindName(scene.Kinds().at(0)));
}
