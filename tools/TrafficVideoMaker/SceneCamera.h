#pragma once
// How the camera sees a traffic scene: where it points in each frame (a pole that shakes in wind, a slow
// pan across the road) and, with perspective, how the ground shrinks towards the top of the picture.
//
// The scene lies in scene coordinates, which are the picture's own for a still camera looking straight
// down. A moving camera adds a whole-pixel offset to the part of the scene it shows. With perspective the
// picture's row y shows the ground at scale s(y), falling linearly from 1 at the bottom row to one half at
// row 0, the same across and along the road, so that everything shrinks towards the horizon.

#include "TrafficScene.h"

#include <opencv2/core.hpp>

class SceneCamera
{
  public:
    /* The camera of options: still and straight down unless shake, pan or perspective ask otherwise. */
    explicit SceneCamera(const TrafficSceneOptions& options);

    /* How far the camera's view is moved in frame, scene pixels. */
    cv::Point Offset(int frame) const;

    /* The scene under the picture with the camera at rest: the frame itself, or with perspective the
       bounds of the wider ground it shows. */
    cv::Rect Sight() const { return sight; }

    /* The scene the camera ever sees: Sight() moved by every offset there can be. */
    cv::Rect World() const;

    /* The scene row that the picture's row y shows with the camera at rest. */
    double SceneRow(double y) const;

    /* The box in the picture of frame of the scene rectangle area; not clipped to the picture. */
    cv::Rect Project(const cv::Rect& area, int frame) const;

    /* Whether the picture is the scene moved by the offset alone, without perspective. */
    bool Flat() const { return !perspective; }

    /* Makes the picture from canvas, the scene over Sight() moved by the frame's offset; with perspective
       only. */
    void Look(const cv::Mat& canvas, cv::Mat& image) const;

    /* With perspective, 255 over the part of Sight() that the picture shows; without, empty. */
    const cv::Mat& SightMask() const { return sightMask; }

  private:
    /* The picture's row of scene row y, the camera at rest, and the scale s there. */
    double PictureRow(double y, double& scale) const;

    int width, height;     /* the picture's size */
    bool perspective;      /* whether the ground shrinks towards the top */
    double top;            /* the scale at row 0, with perspective */
    double slope;          /* its growth per row: s(y) = top + slope * y */
    double shakeX[4] = {}; /* amplitudes of the two sways across and their angular frequencies, per frame */
    double shakeY[4] = {}; /* the same along */
    double phases[4] = {}; /* of the sways across (2) and along (2) */
    double panAmplitude = 0, panPhase = 0; /* pixels; radians */
    cv::Point reach;                       /* the largest offset, across and along */
    cv::Rect sight;
    cv::Mat mapX, mapY; /* with perspective, where each picture pixel lies in the canvas */
    cv::Mat sightMask;
};
