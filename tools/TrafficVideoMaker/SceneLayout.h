#pragma once
// The layout of a traffic scene in the reference frame of 640 x 480 that every scene scales to its size:
// the road and the paths beside it, the lanes, and each road user's kind, size and place in frame 0.
// Seed 1 lays out the classic scene; every other seed draws a layout of its own.

#include "TrafficScene.h"

#include <opencv2/core.hpp>

#include <vector>

/* The reference frame's size, in which layouts are drawn. */
const double REFERENCE_WIDTH = 640.0;
const double REFERENCE_HEIGHT = 480.0;

/* One lane: a strip along the picture's columns in which road users follow each other one way. */
struct SceneLane
{
    double centre;  /* x of its middle */
    double width;   /* across */
    double speed;   /* of its road users, pixels per frame; negative: towards row 0 */
    double margin;  /* how far beyond the rows the camera sees its road users go before they come back */
    bool signalled; /* its road users stop at the light */
};

/* One road user as laid out. */
struct ScenePlan
{
    int lane;             /* index into the layout's lanes */
    ObjectKind kind;      /* what it is */
    double width, length; /* across and along its lane */
    double y0;            /* its top edge in frame 0 */
    double shift;         /* of its middle from its lane's, across; not 0 for one that drives half in the
                             next lane */
    cv::Scalar colour;    /* its main colour */
};

/* The still ground: where the road, its markings and the paths beside it lie. */
struct SceneGround
{
    double roadLeft = 0, roadRight = 0; /* the asphalt's edges */
    std::vector<double> laneLines;      /* x of the dashed lines between lanes */
    double divider = 0;                 /* x of the line between the two directions, drawn yellow */
    std::vector<cv::Vec2d> footpaths;   /* left and right edges */
    std::vector<cv::Vec2d> cycleLanes;  /* left and right edges */
    double crossing = -1;               /* top row of the zebra crossing at the light; -1 for none */
};

/* Rows the zebra crossing spans, from its top row. */
const double CROSSING_LENGTH = 36.0;
/* How far from the crossing the fronts of the road users that the light stops stay. */
const double STOP_DISTANCE = 14.0;

struct SceneLayout
{
    SceneGround ground;
    std::vector<SceneLane> lanes;
    std::vector<ScenePlan> plans; /* object number k at index k - 1 */
};

/* The layout of options' seed for a world whose rows run from top to bottom, with the situations that
   change it: tall adds paths with people and cyclists, occlusion sets vehicles half in the next lane. */
SceneLayout LayOutScene(const TrafficSceneOptions& options, double top, double bottom);

/* Paints ground over the whole of image, which shows the scene from origin (scene pixels) on; sx and sy
   scale the layout to the scene, whose rows from top to bottom (layout pixels) are painted. */
void PaintGround(cv::Mat& image, const SceneGround& ground, cv::Point origin, double sx, double sy,
                 double top, double bottom, cv::RNG& rng);
