#pragma once
// Real street video as Lanescope analyses it (upside down, through the grey pipeline), and memories
// taught from it the way the user's picks teach one.

#include "CvAssociativeMemory.h"
#include "GreyPipeline.h"

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <string>
#include <vector>

/* Street videos of OpenCV's documentation package; absent where that package is not installed. */
const char* const CV_REAL_VTEST = "/usr/share/doc/opencv-doc/examples/data/vtest.avi";
const char* const CV_REAL_MEGAMIND = "/usr/share/doc/opencv-doc/examples/data/Megamind.avi";

/* The first frames of a video: colour after the flip the programs make, and the grey working image. */
struct RealVideo
{
    std::vector<cv::Mat> colour;
    std::vector<cv::Mat> grey;

    /* Decodes up to count frames of path; false when the file cannot be read. */
    bool Load(const std::string& path, int count)
    {
        cv::VideoCapture capture(path);
        cv::Mat frame;
        while (static_cast<int>(colour.size()) < count && capture.read(frame)) {
            cv::flip(frame, frame, 0);
            cv::Mat grey1(frame.size(), CV_8UC1);
            IplImage frameIpl = cvIplImage(frame), greyIpl = cvIplImage(grey1);
            PrepareGreyImage(&frameIpl, &greyIpl);
            colour.push_back(frame.clone());
            grey.push_back(grey1);
        }
        return !colour.empty();
    }
};

/* Hands frame k of the video to the memory. */
inline void ShowFrame(CvAssociativeMemory& am, RealVideo& video, size_t k)
{
    IplImage header = cvIplImage(video.grey[k % video.grey.size()]);
    am.SetImage(&header);
}

/* A fresh default memory taught views picks: pick i is a 100 x 100 area of frame 10 i (of the frames
   loaded), spread over the street, written and read back under type 1 + i % 6. */
inline void TeachViews(CvAssociativeMemory& am, RealVideo& video, int views)
{
    am.Create(100, 100, 0);
    for (int i = 0; i < views; i++) {
        ShowFrame(am, video, static_cast<size_t>(10 * i));
        const cv::Mat& grey = video.grey[0];
        const int x = (60 + 67 * i) % (grey.cols - 100);
        const int y = (grey.rows / 3 + 53 * (i % 4)) % (grey.rows - 100);
        const int type = 1 + i % 6;
        const CvRect area = cvRect(x, y, 100, 100);
        am.Write(area, &type);
        am.Read(area);
    }
}
