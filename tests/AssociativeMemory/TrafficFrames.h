#pragma once
// Grey frames of the synthetic traffic scene as Lanescope hands them to its memory, and the user's pick of
// a vehicle as a 100 x 100 selection.

#include "CvAssociativeMemory.h"
#include "GreyPipeline.h"
#include "TrafficScene.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <vector>

/* Frame k of scene turned into the grey working image by Lanescope's own pipeline. */
inline void RenderGrey(const TrafficScene& scene, int k, cv::Mat& grey)
{
    cv::Mat bgr;
    scene.Render(k, bgr);
    grey.create(bgr.rows, bgr.cols, CV_8UC1);
    IplImage src = cvIplImage(bgr), dst = cvIplImage(grey);
    PrepareGreyImage(&src, &dst);
}

/* The box of object id in frame k, or an empty rectangle when it is not visible. */
inline cv::Rect TrueBox(const TrafficScene& scene, int k, int id)
{
    for (const SceneObject& o : scene.Boxes(k))
        if (o.id == id)
            return o.box;
    return cv::Rect();
}

/* A 100 x 100 selection centred on box, moved inside a frame of width x height. */
inline CvRect Pick(cv::Rect box, int width, int height)
{
    const int x = std::clamp(box.x + box.width / 2 - 50, 0, width - 100);
    const int y = std::clamp(box.y + box.height / 2 - 50, 0, height - 100);
    return cvRect(x, y, 100, 100);
}

/* Intersection over union of two rectangles. */
inline double IoU(cv::Rect a, cv::Rect b)
{
    const double common = (a & b).area();
    const double all = a.area() + b.area() - common;
    return all > 0 ? common / all : 0.0;
}
