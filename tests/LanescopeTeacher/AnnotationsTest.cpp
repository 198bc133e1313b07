// The two layouts of annotated boxes are told apart by their content and give the same box in the
// programs' analysed coordinates; a file that mixes layouts or has a stray line is refused by its line, and
// the teacher takes and refuses the same files as the evaluator. The memory's area is the taught boxes'
// median size.

#include "Annotations.h"
#include "Teaching.h"
#include "TempFolder.h"
#include "TrackingEval.h"

#include <gtest/gtest.h>

namespace {

std::string WriteText(const TempFolder& folder, const char* name, const char* text)
{
    std::ofstream(folder / name) << text;
    return folder / name;
}

} // namespace

TEST(Annotations, LayoutsAreToldApartByContent)
{
    TempFolder folder;
    // Frame 4 counted from 0 is frame 5 of ground truth; row 30 of the analysed 480-row frame is row
    // 480 - 30 - 80 = 370 of the file's picture. The flag-0 box is left out.
    const std::string csv = WriteText(folder, "boxes.csv", "frame,id,x,y,width,height\n4,7,10,30,100,80\n");
    const std::string gt =
        WriteText(folder, "gt.txt", "5, 7, 10.2, 369.6, 100, 80, 1, 2, 1\n\n5,8,0,0,60,60,0,2,1\n");
    CvAnnotations maker, truth, byTrack;
    std::string error;
    ASSERT_TRUE(ReadAnnotations(csv, 480, CvTypeSource::Class, maker, error)) << error;
    ASSERT_TRUE(ReadAnnotations(gt, 480, CvTypeSource::Class, truth, error)) << error;
    ASSERT_TRUE(ReadAnnotations(gt, 480, CvTypeSource::Track, byTrack, error)) << error;
    EXPECT_FALSE(maker.groundTruth);
    EXPECT_TRUE(truth.groundTruth);
    for (const CvAnnotations* a : {&maker, &truth, &byTrack}) {
        ASSERT_EQ(a->byFrame.size(), 1u);
        ASSERT_EQ(a->byFrame.count(4), 1u);
        ASSERT_EQ(a->byFrame.at(4).size(), 1u);
        EXPECT_EQ(a->byFrame.at(4)[0].box, cv::Rect(10, 30, 100, 80));
    }
    EXPECT_EQ(maker.byFrame.at(4)[0].type, 7);
    EXPECT_EQ(truth.byFrame.at(4)[0].type, 2);
    EXPECT_EQ(byTrack.byFrame.at(4)[0].type, 7);

    const std::string mixed = WriteText(folder, "mixed.txt", "1,1,0,0,10,10,1,1,1\n2,1,0,0,10,10\n");
    EXPECT_FALSE(ReadAnnotations(mixed, 480, CvTypeSource::Class, truth, error));
    EXPECT_NE(error.find("mixed.txt line 2"), std::string::npos) << error;
    const std::string stray = WriteText(folder, "stray.csv", "frame,id,x,y,width,height\n0,1,0,0,9,9\nend\n");
    EXPECT_FALSE(ReadAnnotations(stray, 480, CvTypeSource::Class, maker, error));
    EXPECT_NE(error.find("stray.csv line 3"), std::string::npos) << error;
}

TEST(Annotations, ReadAsTheEvaluatorReadsThem)
{
    TempFolder folder;
    const std::string box = "1,3,10,20,30,40,1,2,1";
    const struct
    {
        std::string text;
        const char* refused; // what both messages say, or null when both read the one box
    } cases[] = {
        {"\xEF\xBB\xBF" + box + "\n", nullptr},
        {"\xEF\xBB\xBF\nframe,id,left,top,width,height,flag,class,visibility\n" + box + "\n", nullptr},
        {box + ",\r\n", nullptr},
        {"nan,3,10,20,30,40,1,2,1\n", "line 1: "},
        {box + ",,\n", "line 1: "},
        {box + std::string(1, '\0') + "\n", "line 1: "},
        {box + "\nframe,id\n", "line 2: "},
        {box + "\n1,3,50,20,30,40,0,2,1\n", "line 2: id 3 appears twice in frame 1"}};
    for (const auto& c : cases) {
        const std::string path = folder / "gt.txt";
        std::ofstream(path, std::ios::binary) << c.text;
        CvAnnotations taught;
        std::vector<MotBox> scored;
        std::string teacherError, evaluatorError;
        const bool teacher = ReadAnnotations(path, 480, CvTypeSource::Class, taught, teacherError);
        const bool evaluator = ReadMotFile(path, MotFileKind::GroundTruth, scored, evaluatorError);
        EXPECT_EQ(teacher, !c.refused) << c.text << teacherError;
        EXPECT_EQ(evaluator, !c.refused) << c.text << evaluatorError;
        if (c.refused) {
            EXPECT_NE(teacherError.find(c.refused), std::string::npos) << teacherError;
            EXPECT_NE(evaluatorError.find(c.refused), std::string::npos) << evaluatorError;
        } else if (teacher && evaluator) {
            EXPECT_EQ(taught.byFrame.at(0).size(), 1u) << c.text;
            EXPECT_EQ(scored.size(), 1u) << c.text;
        }
    }
}

TEST(Teaching, AreaIsTheMedianOfTheTaughtBoxesWithinTheMemoryAndTheFrame)
{
    // The budget teaches frames 0 to 2 and ids 1 and 2: frame 3 and id 9 take no part.
    CvAnnotations a;
    a.byFrame[0] = {
        {1, 1, cv::Rect(0, 0, 30, 90)}, {2, 1, cv::Rect(0, 0, 70, 60)}, {9, 1, cv::Rect(0, 0, 500, 9)}};
    a.byFrame[1] = {{1, 1, cv::Rect(0, 0, 28, 88)}, {9, 1, cv::Rect(0, 0, 500, 9)}};
    a.byFrame[2] = {{2, 1, cv::Rect(0, 0, 50, 120)}};
    a.byFrame[3] = {{1, 1, cv::Rect(0, 0, 400, 400)}, {2, 1, cv::Rect(0, 0, 400, 400)}};
    CvTeachingBudget budget;
    budget.frames = 3;
    budget.ids = {1, 2};
    CvAreaChoice c = ChooseArea(a, budget, cv::Size(640, 480));
    EXPECT_EQ(c.median, cv::Size(50, 90));
    EXPECT_EQ(c.area, cv::Size(50, 90));
    // A side below the smallest a memory takes becomes 40, one beyond the frame the frame's.
    budget.ids = {1};
    c = ChooseArea(a, budget, cv::Size(640, 80));
    EXPECT_EQ(c.median, cv::Size(30, 90));
    EXPECT_EQ(c.area, cv::Size(40, 80));
}
