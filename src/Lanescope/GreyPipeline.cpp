#include "GreyPipeline.h"

#include "Erosion.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc/imgproc_c.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

/* Levels up to this one are dark: they become 0 before the equalisation. */
const int CV_LS_DARK_LEVEL = 10;

/* Bands of rows each of OpenCV's threads takes at a time in the two passes below. */
const int CV_LS_BANDS = 8;

typedef std::array<uint32_t, 256> Histogram;
typedef std::array<uchar, 256> LevelTable;

/* How many pixels of image have each level, counted band by band on OpenCV's threads. */
Histogram CountLevels(const cv::Mat& image)
{
    std::array<Histogram, CV_LS_BANDS> bands{};
    cv::parallel_for_(
        cv::Range(0, CV_LS_BANDS),
        [&](const cv::Range& range) {
            for (int b = range.start; b < range.end; b++) {
                // Four tables, so that a run of one level does not wait on a single counter.
                uint32_t counts[4][256] = {};
                for (int y = image.rows * b / CV_LS_BANDS; y < image.rows * (b + 1) / CV_LS_BANDS; y++) {
                    const uchar* p = image.ptr(y);
                    int x = 0;
                    for (; x + 4 <= image.cols; x += 4) {
                        counts[0][p[x]]++;
                        counts[1][p[x + 1]]++;
                        counts[2][p[x + 2]]++;
                        counts[3][p[x + 3]]++;
                    }
                    for (; x < image.cols; x++)
                        counts[0][p[x]]++;
                }
                for (int v = 0; v < 256; v++)
                    bands[b][v] = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
            }
        },
        CV_LS_BANDS);
    Histogram all{};
    for (const Histogram& band : bands)
        for (int v = 0; v < 256; v++)
            all[v] += band[v];
    return all;
}

/* The two steps after the conversion as one table of the converted level: dark levels to 0, then the
   histogram equalisation of that image as OpenCV's equalizeHist makes it (the least level present becomes
   0, every other the share of the pixels above the least and at or below it, times 255, rounded; an image
   of a single level keeps it). */
LevelTable DarkCutAndEqualise(Histogram counts, int total)
{
    for (int v = 1; v <= CV_LS_DARK_LEVEL; v++) {
        counts[0] += counts[v];
        counts[v] = 0;
    }
    int least = 0;
    while (counts[least] == 0)
        least++;
    LevelTable equalised{};
    if (static_cast<int>(counts[least]) == total) {
        equalised[least] = static_cast<uchar>(least);
    } else {
        const float scale = 255.0f / static_cast<float>(total - static_cast<int>(counts[least]));
        int below = 0;
        for (int v = least + 1; v < 256; v++) {
            below += static_cast<int>(counts[v]);
            equalised[v] = cv::saturate_cast<uchar>(static_cast<float>(below) * scale);
        }
    }
    LevelTable table;
    for (int v = 0; v < 256; v++)
        table[v] = equalised[v > CV_LS_DARK_LEVEL ? v : 0];
    return table;
}

/* out = the 2 x 2 erosion (anchored at its top-left pixel, the last row and column repeated past the edge)
   of table applied to in, band by band on OpenCV's threads. The table is monotonic over the levels in
   holds (a brighter one never looks up darker), so min and lookup commute: the least of four looked-up
   pixels is the lookup of their least, and each pixel takes one lookup, after the erosion. */
void ErodeThroughTable(const cv::Mat& in, const LevelTable& table, cv::Mat& out)
{
    cv::parallel_for_(
        cv::Range(0, in.rows),
        [&](const cv::Range& range) {
            std::vector<uchar> least(static_cast<size_t>(in.cols));
            const int last = in.cols - 1;
            for (int y = range.start; y < range.end; y++) {
                ErodeRow(in.ptr(y), in.ptr(std::min(y + 1, in.rows - 1)), in.cols, least.data());
                // Eight looked-up levels are put together and stored as one word: a store per byte costs
                // half as much again.
                uchar* o = out.ptr(y);
                int q = 0;
                for (; q + 8 <= in.cols; q += 8) {
                    uint64_t word = 0;
                    for (int i = 7; i >= 0; i--)
                        word = (word << 8) | table[least[q + i]];
                    std::memcpy(o + q, &word, 8);
                }
                for (; q <= last; q++)
                    o[q] = table[least[q]];
            }
        },
        CV_LS_BANDS);
}

} // namespace

void PrepareGreyImage(const IplImage* frame, IplImage* grey)
{
    cvCvtColor(frame, grey, CV_BGR2GRAY);
    const cv::Mat converted = cv::cvarrToMat(grey);
    if (converted.empty())
        return;
    const LevelTable table = DarkCutAndEqualise(CountLevels(converted), static_cast<int>(converted.total()));
    // The eroded image is kept between frames: the smoothing writes the result back into grey from it.
    thread_local cv::Mat eroded;
    eroded.create(converted.size(), CV_8UC1);
    ErodeThroughTable(converted, table, eroded);
    IplImage erodedIpl = cvIplImage(eroded);
    cvSmooth(&erodedIpl, grey, CV_GAUSSIAN, 5, 5, 5.0, 0.0);
}
