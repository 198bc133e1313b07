#pragma once
// The light over a traffic scene: the soft shadow of a cloud that drifts across the ground, and a gradual
// dimming of the whole picture, as when the sun sinks or a front moves in.

#include "TrafficScene.h"

#include <opencv2/core.hpp>

class SceneLighting
{
  public:
    /* The light of options over world, the part of the scene the camera ever sees. */
    SceneLighting(const TrafficSceneOptions& options, const cv::Rect& world);

    /* Darkens what lies under the cloud's shadow in frame; canvas shows the scene from origin on. */
    void Shade(cv::Mat& canvas, cv::Point origin, int frame) const;

    /* The brightness of the whole picture in frame: 1 at first, 0.55 at frame 300, 1 again at 600. */
    double Gain(int frame) const;

  private:
    cv::Mat shadow;       /* what the shadow leaves of the light, 8-bit BGR, 255 where none */
    cv::Point2d start;    /* the shadow's top-left corner in frame 0, scene pixels */
    cv::Point2d velocity; /* scene pixels per frame */
    cv::Rect2d range;     /* the top-left corner wraps around inside this area */
};
