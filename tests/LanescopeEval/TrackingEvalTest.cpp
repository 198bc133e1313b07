// TrackingEval: the optimal assignment against brute force, and the measures on small sequences worked out
// by hand.

#include "TrackingEval.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <sstream>
#include <utility>

namespace {

/* One box per (frame, id) given as "frame id left top" with 10 x 10 boxes. */
std::vector<MotBox> Boxes(std::initializer_list<std::array<int, 4>> rows)
{
    std::vector<MotBox> boxes;
    for (const auto& r : rows) {
        MotBox b;
        b.frame = r[0];
        b.id = r[1];
        b.box = cv::Rect2d(r[2], r[3], 10, 10);
        boxes.push_back(b);
    }
    return boxes;
}

/* The least total cost over all assignments of min(rows, columns) pairs, by trying every permutation. */
double BruteForceCost(const std::vector<std::vector<double>>& cost)
{
    const std::size_t rows = cost.size(), columns = cost[0].size();
    std::vector<std::size_t> order(std::max(rows, columns));
    std::iota(order.begin(), order.end(), 0);
    double best = 1e300;
    do {
        double total = 0;
        for (std::size_t i = 0; i < rows; ++i)
            if (order[i] < columns)
                total += cost[i][order[i]];
        best = std::min(best, total);
    } while (std::next_permutation(order.begin(), order.end()));
    return best;
}

} // namespace

TEST(AssignMinimumCost, MatchesBruteForceOnRandomMatrices)
{
    std::mt19937 random(7);
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t rows = 1 + random() % 6, columns = 1 + random() % 6;
        std::vector<std::vector<double>> cost(rows, std::vector<double>(columns));
        for (auto& row : cost)
            for (double& c : row)
                c = trial % 2 ? double(random() % 4) - 2
                              : std::uniform_real_distribution<double>(-1, 1)(random);
        const std::vector<int> columnOf = AssignMinimumCost(cost);
        ASSERT_EQ(columnOf.size(), rows);
        double total = 0;
        std::vector<bool> used(columns, false);
        std::size_t pairs = 0;
        for (std::size_t i = 0; i < rows; ++i) {
            if (columnOf[i] < 0)
                continue;
            ASSERT_LT(std::size_t(columnOf[i]), columns);
            ASSERT_FALSE(used[std::size_t(columnOf[i])]) << "column used twice";
            used[std::size_t(columnOf[i])] = true;
            total += cost[i][std::size_t(columnOf[i])];
            ++pairs;
        }
        EXPECT_EQ(pairs, std::min(rows, columns));
        EXPECT_NEAR(total, BruteForceCost(cost), 1e-9) << rows << " x " << columns << ", trial " << trial;
    }
}

TEST(ScoreTracks, HandWorkedSequences)
{
    const auto truth = Boxes({{1, 1, 0, 0}, {2, 1, 10, 0}, {3, 1, 20, 0}});
    const TrackingScores same = ScoreTracks(truth, truth);
    EXPECT_EQ(same.mota, 1.0);
    EXPECT_EQ(same.motp, 1.0);
    EXPECT_EQ(same.idf1, 1.0);
    EXPECT_EQ(same.idSwitches, 0);
    EXPECT_EQ(same.mostlyTracked, 1);

    // The tracker changes its id in frame 3: one switch, and the best identity pairing keeps 2 of 3 boxes.
    // Every int is an id, none of them stands for "no track".
    for (const auto& [before, after] : {std::pair{7, 8}, std::pair{-3, -4}, std::pair{0, -1}}) {
        const TrackingScores changed =
            ScoreTracks(truth, Boxes({{1, before, 0, 0}, {2, before, 10, 0}, {3, after, 20, 0}}));
        EXPECT_EQ(changed.idSwitches, 1) << before << " -> " << after;
        EXPECT_NEAR(changed.mota, 1 - 1 / 3.0, 1e-12);
        EXPECT_NEAR(changed.idf1, 2 * 2 / 6.0, 1e-12);
        EXPECT_EQ(changed.mostlyTracked, 1);
    }

    // A track that never overlaps: 3 misses and 2 false positives over 3 true boxes; nothing at all: MOTA 0.
    const TrackingScores apart = ScoreTracks(truth, Boxes({{1, 5, 100, 100}, {2, 5, 100, 100}}));
    EXPECT_NEAR(apart.mota, 1 - 5 / 3.0, 1e-12);
    EXPECT_EQ(apart.mostlyLost, 1);
    EXPECT_EQ(ScoresText(apart).substr(0, 13), "MOTA -0.6667\n");
    TrackingScores even;
    even.mota = -0.00002;
    EXPECT_EQ(ScoresText(even).substr(0, 12), "MOTA 0.0000\n") << "zero has no sign";
    const TrackingScores empty = ScoreTracks(truth, {});
    EXPECT_EQ(empty.mota, 0.0);
    EXPECT_EQ(empty.recall, 0.0);

    // Half overlap (IoU 1/3) is below the threshold; 9 of 10 columns (IoU 0.818) is above it.
    const TrackingScores shifted = ScoreTracks(truth, Boxes({{1, 1, 5, 0}, {2, 1, 11, 0}, {3, 1, 21, 0}}));
    EXPECT_EQ(shifted.matches, 2);
    EXPECT_NEAR(shifted.motp, 9 / 11.0, 1e-12);
    EXPECT_EQ(shifted.fragmentations, 0) << "missed before the first match is no interruption";
    const TrackingScores gap = ScoreTracks(truth, Boxes({{1, 1, 0, 0}, {3, 1, 20, 0}}));
    EXPECT_EQ(gap.fragmentations, 1);
    EXPECT_EQ(gap.idSwitches, 0);

    // Two objects cross; the tracks swap after the crossing: one switch per object.
    const auto crossing =
        Boxes({{1, 1, 0, 0}, {1, 2, 40, 0}, {2, 1, 18, 0}, {2, 2, 22, 0}, {3, 1, 40, 0}, {3, 2, 0, 0}});
    const auto swapped =
        Boxes({{1, 1, 0, 0}, {1, 2, 40, 0}, {2, 1, 18, 0}, {2, 2, 22, 0}, {3, 2, 40, 0}, {3, 1, 0, 0}});
    EXPECT_EQ(ScoreTracks(crossing, swapped).idSwitches, 2);

    // An established correspondence is kept while it passes the threshold, though swapping would raise the
    // total IoU: the object at 0 stays with track 1 (IoU 0.67), not track 2 (IoU 1).
    const auto two = Boxes({{1, 1, 0, 0}, {1, 2, 100, 0}, {2, 1, 0, 0}, {2, 2, 100, 0}});
    const auto kept = Boxes({{1, 1, 0, 0}, {1, 2, 100, 0}, {2, 1, 2, 0}, {2, 2, 0, 0}});
    const TrackingScores k = ScoreTracks(two, kept);
    EXPECT_EQ(k.idSwitches, 0);
    EXPECT_EQ(k.matches, 3);

    // The frame range restricts both files.
    ScoreOptions lastTwo;
    lastTwo.firstFrame = 2;
    EXPECT_EQ(ScoreTracks(truth, Boxes({{1, 9, 99, 99}, {2, 1, 10, 0}, {3, 1, 20, 0}}), lastTwo).mota, 1.0);

    // Of the matches where both boxes are typed, 2 of 3 name the class; the untyped one (-1) is left out.
    // A confidence floor leaves out track boxes only, never truth.
    auto classed = Boxes({{1, 1, 0, 0}, {2, 1, 10, 0}, {3, 1, 20, 0}, {4, 1, 30, 0}});
    auto typed = classed;
    const int types[] = {3, 3, 5, -1};
    for (std::size_t i = 0; i < classed.size(); ++i) {
        classed[i].type = 3;
        typed[i].type = types[i];
    }
    typed[2].score = 1e-6;
    const TrackingScores all = ScoreTracks(classed, typed);
    EXPECT_EQ(all.typedMatches, 3);
    EXPECT_NEAR(all.typeAccuracy, 2 / 3.0, 1e-12);
    EXPECT_EQ(ConfusionText(all), "confusion 3 3 2\nconfusion 3 5 1\n");
    ScoreOptions floor;
    floor.minConfidence = 1e-3;
    const TrackingScores confident = ScoreTracks(classed, typed, floor);
    EXPECT_EQ(confident.truthBoxes, 4);
    EXPECT_EQ(confident.matches, 3);
    EXPECT_EQ(confident.typeAccuracy, 1.0);
    EXPECT_NE(ScoresText(same).find("\ntyped_matches 0\ntype_accuracy -\n"), std::string::npos);
}

TEST(ReadMotText, GroundTruthFlagsSpacesAndErrors)
{
    std::vector<MotBox> boxes;
    std::string error;
    std::istringstream gt("1, 3, 10.5, 20, 30, 40, 1, 2, 1\n\n2,3,11,20,30,40,0,2,1\n");
    ASSERT_TRUE(ReadMotText(gt, MotFileKind::GroundTruth, boxes, error)) << error;
    ASSERT_EQ(boxes.size(), 1u) << "flag 0 is ignored";
    EXPECT_EQ(boxes[0].box, cv::Rect2d(10.5, 20, 30, 40));
    EXPECT_EQ(boxes[0].type, 2);

    std::istringstream twice("1,3,0,0,5,5,1\n1,3,9,9,5,5,1\n");
    EXPECT_FALSE(ReadMotText(twice, MotFileKind::Results, boxes, error));
    EXPECT_EQ(error, "line 2: id 3 appears twice in frame 1");
    std::istringstream nul(std::string("1,3,0,0,5,5\0x\n", 14));
    EXPECT_FALSE(ReadMotText(nul, MotFileKind::Results, boxes, error)) << "a NUL byte ends no field";
    std::istringstream header("frame,id,x,y,w,h\n1,3,0,0,5,5\nframe,id,x,y,w,h\n");
    EXPECT_FALSE(ReadMotText(header, MotFileKind::Results, boxes, error)) << "column names only come first";
    EXPECT_EQ(error, "line 3: not a box (frame,id,left,top,width,height,...)");
}
