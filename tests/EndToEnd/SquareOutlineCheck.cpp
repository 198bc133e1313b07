// SquareOutlineCheck: checks that Quadfinder's recording outlines the true boxes of a squares video in green,
// and draws green nowhere else.
//
//   SquareOutlineCheck recorded.avi boxes.csv [squares.csv]
//
// boxes.csv is TrafficVideoMaker's CSV ("frame,id,x,y,width,height", in the programs' upright coordinates,
// which are those of the recorded frames). Passes (exit 0) when the recording holds one frame per frame of
// the CSV and, in every frame, green lies near nearly all of each box's border and hardly anywhere away from
// the boxes. The recording is JPEG-compressed, so colours and edges are judged with margins. Prints what it
// found either way. Given Quadfinder's squares file, the squares it lists (frames from 1, rows of the video
// file, which the recording shows upside down) take the place of the recording's green, frame by frame.

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

/* A drawn outline is 3 px wide and lies on the contour found in the eroded grey frame, a few pixels off the
   box's edge; green within this distance of a border pixel counts for it. */
const int NEAR_BORDER = 5;
/* Green farther than this from every box is stray. */
const int STRAY_MARGIN = 12;
/* Share of a box's border pixels that must have green near them, in every frame. */
const double MIN_COVERAGE = 0.9;
/* Stray green pixels allowed per frame: JPEG ringing, never an outline (one is a few hundred pixels). */
const int MAX_STRAY = 20;

/* Reads the CSV into boxes by frame number; false when it cannot be read. */
bool ReadBoxes(const char* path, std::map<int, std::vector<cv::Rect>>& boxes)
{
    std::FILE* file = std::fopen(path, "r");
    if (!file)
        return false;
    char header[128];
    bool ok = std::fgets(header, sizeof header, file) != nullptr;
    int frame, id;
    cv::Rect box;
    while (ok &&
           std::fscanf(file, "%d,%d,%d,%d,%d,%d", &frame, &id, &box.x, &box.y, &box.width, &box.height) == 6)
        boxes[frame].push_back(box);
    std::fclose(file);
    return ok;
}

/* Quadfinder's squares file, by frame number from 0 and turned upside down as the recording is. */
std::map<int, std::vector<std::vector<cv::Point>>> ReadSquares(const char* path, int rows)
{
    std::map<int, std::vector<std::vector<cv::Point>>> squares;
    std::FILE* file = std::fopen(path, "r");
    if (!file || std::fscanf(file, "%*[^\n]") != 0) // the header
        return squares;
    int frame, position;
    std::vector<cv::Point> p(4);
    while (std::fscanf(file, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", &frame, &position, &p[0].x, &p[0].y, &p[1].x,
                       &p[1].y, &p[2].x, &p[2].y, &p[3].x, &p[3].y) == 10) {
        for (cv::Point& q : p)
            q.y = rows - 1 - q.y;
        squares[frame - 1].push_back(p);
    }
    std::fclose(file);
    return squares;
}

/* Pure green after JPEG: clearly more green than red or blue. */
cv::Mat GreenMask(const cv::Mat& frame)
{
    cv::Mat mask(frame.size(), CV_8U);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) {
            const cv::Vec3b p = frame.at<cv::Vec3b>(y, x); // B, G, R
            mask.at<uchar>(y, x) = p[1] >= 140 && p[1] - p[0] >= 60 && p[1] - p[2] >= 60 ? 255 : 0;
        }
    return mask;
}

/* Share of the border pixels of box that are set in near. */
double Coverage(const cv::Mat& near, const cv::Rect& box)
{
    int covered = 0, total = 0;
    const cv::Rect whole(0, 0, near.cols, near.rows);
    for (int y = box.y; y < box.y + box.height; ++y)
        for (int x = box.x; x < box.x + box.width; ++x) {
            const bool border =
                y == box.y || y == box.y + box.height - 1 || x == box.x || x == box.x + box.width - 1;
            if (!border || !whole.contains(cv::Point(x, y)))
                continue;
            ++total;
            covered += near.at<uchar>(y, x) != 0;
        }
    return total ? double(covered) / total : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: SquareOutlineCheck recorded.avi boxes.csv [squares.csv]\n");
        return 2;
    }
    std::map<int, std::vector<cv::Rect>> boxes;
    if (!ReadBoxes(argv[2], boxes) || boxes.empty()) {
        std::printf("FAIL: no boxes in %s\n", argv[2]);
        return 1;
    }
    const int expected = boxes.rbegin()->first + 1;
    // "file:" keeps FFmpeg from reading a name with a colon as a protocol.
    cv::VideoCapture video(std::string("file:") + argv[1], cv::CAP_FFMPEG);
    if (!video.isOpened()) {
        std::printf("FAIL: %s does not open\n", argv[1]);
        return 1;
    }
    auto squares = argc == 4 ? ReadSquares(argv[3], int(video.get(cv::CAP_PROP_FRAME_HEIGHT)))
                             : std::map<int, std::vector<std::vector<cv::Point>>>();
    const cv::Mat nearElement =
        cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * NEAR_BORDER + 1, 2 * NEAR_BORDER + 1));
    cv::Mat frame;
    int count = 0, failures = 0, boxCount = 0, worstStray = 0, worstStrayFrame = 0;
    double worstCoverage = 1.0;
    int worstCoverageFrame = 0;
    while (video.read(frame)) {
        cv::Mat green = GreenMask(frame);
        if (argc == 4) {
            green.setTo(0);
            cv::polylines(green, squares[count], true, 255, 3);
        }
        cv::Mat near;
        cv::dilate(green, near, nearElement);
        cv::Mat stray = green.clone();
        for (const cv::Rect& box : boxes[count]) {
            ++boxCount;
            const double coverage = Coverage(near, box);
            if (coverage < worstCoverage) {
                worstCoverage = coverage;
                worstCoverageFrame = count;
            }
            if (coverage < MIN_COVERAGE) {
                std::printf("frame %d: box %d,%d %dx%d has green near %.0f%% of its border\n", count, box.x,
                            box.y, box.width, box.height, 100 * coverage);
                ++failures;
            }
            const cv::Rect around(box.x - STRAY_MARGIN, box.y - STRAY_MARGIN, box.width + 2 * STRAY_MARGIN,
                                  box.height + 2 * STRAY_MARGIN);
            stray(around & cv::Rect(0, 0, frame.cols, frame.rows)).setTo(0);
        }
        const int strayCount = cv::countNonZero(stray);
        if (strayCount > worstStray) {
            worstStray = strayCount;
            worstStrayFrame = count;
        }
        if (strayCount > MAX_STRAY) {
            const cv::Rect where = cv::boundingRect(stray);
            std::printf("frame %d: %d green pixels away from every box, within %d,%d %dx%d\n", count,
                        strayCount, where.x, where.y, where.width, where.height);
            ++failures;
        }
        ++count;
    }
    std::printf("recorded: %d frames, expected %d; %d boxes; least border coverage %.0f%% (frame %d); "
                "most stray green %d px (frame %d)\n",
                count, expected, boxCount, 100 * worstCoverage, worstCoverageFrame, worstStray,
                worstStrayFrame);
    if (count != expected || (argc == 4 && (squares.empty() || squares.rbegin()->first >= count))) {
        std::printf("FAIL: frame count\n");
        return 1;
    }
    if (failures) {
        std::printf("FAIL: %d frame/box expectation(s) not met\n", failures);
        return 1;
    }
    std::printf("OK\n");
    return 0;
}
