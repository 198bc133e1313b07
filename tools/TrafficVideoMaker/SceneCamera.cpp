#include "SceneCamera.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace {

const double FRAMES_PER_SECOND = 25.0;
const double TWO_PI = 6.283185307179586;
/* Frames for one swing of the pan, to and fro. */
const double PAN_PERIOD = 500.0;

} // namespace

SceneCamera::SceneCamera(const TrafficSceneOptions& options)
    : width(options.width), height(options.height), perspective(options.perspective), top(0.5),
      slope((1.0 - top) / options.height)
{
    cv::RNG rng(options.seed * 2654435761u + 0xCA3Eu);
    const double scale = options.width / 640.0;
    if (options.shake) {
        // A pole sways at one main frequency of 2 to 3.5 Hz, with a smaller, faster tremble on top.
        shakeX[0] = rng.uniform(2.0, 3.5) * scale;
        shakeX[1] = rng.uniform(0.5, 1.2) * scale;
        shakeX[2] = TWO_PI * rng.uniform(2.0, 3.5) / FRAMES_PER_SECOND;
        shakeX[3] = TWO_PI * rng.uniform(4.0, 6.0) / FRAMES_PER_SECOND;
        for (int i = 0; i < 4; ++i)
            shakeY[i] = shakeX[i] * (i < 2 ? 0.7 : rng.uniform(0.8, 1.2));
        for (double& p : phases)
            p = rng.uniform(0.0, TWO_PI);
    }
    if (options.pan) {
        // A tenth of the width each way; at most 0.8 px a frame at 640 x 480.
        panAmplitude = 0.1 * options.width;
        panPhase = rng.uniform(0.0, TWO_PI);
    }
    reach = cv::Point(int(std::ceil(shakeX[0] + shakeX[1] + panAmplitude)),
                      int(std::ceil(shakeY[0] + shakeY[1])));

    sight = cv::Rect(0, 0, width, height);
    if (!perspective)
        return;
    const double middle = width / 2.0;
    const double left = middle - middle / top, right = middle + (width - 1 - middle) / top;
    const double first = SceneRow(0), last = SceneRow(height - 1);
    sight = cv::Rect(cv::Point(int(std::floor(left)) - 1, int(std::floor(first)) - 1),
                     cv::Point(int(std::ceil(right)) + 2, int(std::ceil(last)) + 2));
    mapX.create(height, width, CV_32F);
    mapY.create(height, width, CV_32F);
    for (int y = 0; y < height; ++y) {
        const double s = top + slope * y;
        const float row = float(SceneRow(y) - sight.y);
        for (int x = 0; x < width; ++x) {
            mapX.at<float>(y, x) = float(middle + (x - middle) / s - sight.x);
            mapY.at<float>(y, x) = row;
        }
    }
    sightMask = cv::Mat::zeros(sight.size(), CV_8U);
    for (int i = 0; i < sight.height; ++i) {
        double s;
        const double y = PictureRow(sight.y + i, s);
        if (y < 0 || y > height - 1)
            continue;
        for (int j = 0; j < sight.width; ++j) {
            const double x = middle + (sight.x + j - middle) * s;
            if (x >= 0 && x <= width - 1)
                sightMask.at<uchar>(i, j) = 255;
        }
    }
}

cv::Point SceneCamera::Offset(int frame) const
{
    const double t = frame;
    const double across = shakeX[0] * std::sin(shakeX[2] * t + phases[0]) +
                          shakeX[1] * std::sin(shakeX[3] * t + phases[1]) +
                          panAmplitude * std::sin(TWO_PI * t / PAN_PERIOD + panPhase);
    const double along =
        shakeY[0] * std::sin(shakeY[2] * t + phases[2]) + shakeY[1] * std::sin(shakeY[3] * t + phases[3]);
    return cv::Point(int(std::lround(across)), int(std::lround(along)));
}

cv::Rect SceneCamera::World() const
{
    return cv::Rect(sight.x - reach.x, sight.y - reach.y, sight.width + 2 * reach.x,
                    sight.height + 2 * reach.y);
}

double SceneCamera::SceneRow(double y) const
{
    if (!perspective)
        return y;
    // Rows below y hold, per picture row, 1 / s scene rows: Y(y) = H - integral from y to H of dy' / s(y'),
    // and s(H) = 1.
    return height - std::log(1.0 / (top + slope * y)) / slope;
}

double SceneCamera::PictureRow(double y, double& scale) const
{
    // The inverse of SceneRow: s = exp(-slope (H - Y)), y = (s - top) / slope.
    scale = std::exp(-slope * (height - y));
    return (scale - top) / slope;
}

cv::Rect SceneCamera::Project(const cv::Rect& area, int frame) const
{
    const cv::Rect moved = area - Offset(frame);
    if (!perspective)
        return moved;
    double s0, s1;
    const double y0 = PictureRow(moved.y, s0), y1 = PictureRow(moved.y + moved.height, s1);
    const double middle = width / 2.0;
    double low = 1e300, high = -1e300;
    for (const double x : {double(moved.x), double(moved.x + moved.width)})
        for (const double s : {s0, s1}) {
            low = std::min(low, middle + (x - middle) * s);
            high = std::max(high, middle + (x - middle) * s);
        }
    return cv::Rect(cv::Point(int(std::floor(low)), int(std::floor(y0))),
                    cv::Point(int(std::ceil(high)), int(std::ceil(y1))));
}

void SceneCamera::Look(const cv::Mat& canvas, cv::Mat& image) const
{
    cv::remap(canvas, image, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
}
