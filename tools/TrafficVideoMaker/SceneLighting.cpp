#include "SceneLighting.h"

#include <opencv2/imgproc.hpp>

#include "Wrap.h"

#include <cmath>

namespace {

/* Share of the light that the core of the shadow takes. */
const double SHADOW_DEPTH = 0.45;
/* Share of the light that the dimming takes at its deepest. */
const double DIMMING_DEPTH = 0.45;
/* Frames from full light to the dimmest and back. */
const double DIMMING_PERIOD = 600.0;

} // namespace

SceneLighting::SceneLighting(const TrafficSceneOptions& options, const cv::Rect& world)
{
    cv::RNG rng(options.seed * 2246822519u + 0x11647u);
    const double w = options.width, h = options.height;
    // An ellipse blurred so softly that its edge fades out within the picture of the shadow.
    const cv::Size size(std::max(4, int(0.8 * w)), std::max(4, int(0.7 * h)));
    cv::Mat field = cv::Mat::zeros(size, CV_32F);
    cv::ellipse(field, cv::Point(size.width / 2, size.height / 2),
                cv::Size(std::max(1, int(0.3 * w)), std::max(1, int(0.22 * h))), rng.uniform(-30.0, 30.0), 0,
                360, cv::Scalar(1.0), cv::FILLED);
    cv::GaussianBlur(field, field, cv::Size(), std::max(0.5, 0.035 * w));
    cv::Mat light = 255.0 * (1.0 - SHADOW_DEPTH * field);
    cv::Mat grey;
    light.convertTo(grey, CV_8U);
    cv::cvtColor(grey, shadow, cv::COLOR_GRAY2BGR);

    // It drifts across the road, and comes back once it has left the world on the far side.
    const double speed = rng.uniform(2.5, 4.5) * w / 640.0;
    const bool rightwards = rng.uniform(0, 2) == 1;
    velocity = cv::Point2d(rightwards ? speed : -speed, rng.uniform(-0.5, 0.5) * h / 480.0);
    range = cv::Rect2d(world.x - size.width, world.y - size.height, world.width + size.width,
                       world.height + size.height);
    start =
        cv::Point2d(rightwards ? -0.9 * size.width : w - 0.1 * size.width, rng.uniform(0.0, h - size.height));
}

void SceneLighting::Shade(cv::Mat& canvas, cv::Point origin, int frame) const
{
    const cv::Point corner(int(std::lround(Wrap(start.x + velocity.x * frame, range.x, range.width))),
                           int(std::lround(Wrap(start.y + velocity.y * frame, range.y, range.height))));
    const cv::Rect placed(corner - origin, shadow.size());
    const cv::Rect part = placed & cv::Rect(0, 0, canvas.cols, canvas.rows);
    if (part.empty())
        return;
    cv::Mat target = canvas(part);
    cv::multiply(target, shadow(part - placed.tl()), target, 1.0 / 255.0);
}

double SceneLighting::Gain(int frame) const
{
    return 1.0 - DIMMING_DEPTH * 0.5 * (1.0 - std::cos(6.283185307179586 * frame / DIMMING_PERIOD));
}
