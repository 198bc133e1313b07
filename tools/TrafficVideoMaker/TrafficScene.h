#pragma once
// TrafficScene: a deterministic synthetic video for demos, tests and benchmarks, with the true box of
// every moving object in every frame.
//
// Two kinds of scene: Traffic, a textured road seen from above with textured vehicles of 80-120 px in four
// lanes at different speeds; and Squares, light and dark filled rectangles of 40-60 px drifting over a
// textured background. The same options always give the same frames: all texture and noise come from
// generators seeded with options.seed and the frame number.
//
// Coordinates: Render and Boxes work in the programs' analysed coordinates, that is upright, row 0 at the
// top of the picture, as the programs see a frame after they have turned it upside down. A video file
// therefore stores each rendered frame upside down (cv::flip with code 0); WriteSceneVideo does that, and
// its CSV of boxes is in the analysed coordinates like Boxes, its ground truth in those of the file.
//
//     TrafficScene scene(TrafficSceneOptions{});   // 640 x 480 traffic
//     cv::Mat frame;
//     scene.Render(k, frame);                      // frame k, 8-bit BGR, upright
//     for (const SceneObject& o : scene.Boxes(k))  // the objects visible in frame k
//         use(o.id, o.box);
//
// At the default size frame 0 of the traffic scene has vehicle 1 under the rectangle x 370, y 154,
// 100 x 100, where Lanescope's first training frame looks.

#include <opencv2/core.hpp>

#include <string>
#include <vector>

/* What a scene shows. */
enum class SceneKind {
    Traffic, /* vehicles on a road */
    Squares  /* filled rectangles on a background */
};

/* How a scene is made. */
struct TrafficSceneOptions
{
    SceneKind kind = SceneKind::Traffic; /* what the scene shows */
    int width = 640;                     /* frame width in pixels; the layout scales with it */
    int height = 480;                    /* frame height in pixels; the layout scales with it */
    unsigned seed = 1;                   /* seed of every texture and of the frame noise */
    double noise = 2.0;                  /* standard deviation of the per-frame pixel noise, grey levels */
};

/* One object visible in a frame. */
struct SceneObject
{
    int id;       /* the object's number, 1 upwards, the same in every frame */
    cv::Rect box; /* its visible part, clipped to the frame, in analysed coordinates */
};

class TrafficScene
{
  public:
    /* Prepares the background and the object textures of the scene. */
    explicit TrafficScene(const TrafficSceneOptions& options = TrafficSceneOptions());

    /* Draws frame number frame (0 upwards) into image as 8-bit BGR of the scene's size, upright. */
    void Render(int frame, cv::Mat& image) const;

    /* The objects visible in frame number frame, in analysed coordinates, by increasing id. */
    std::vector<SceneObject> Boxes(int frame) const;

    TrafficSceneOptions options; /* the options the scene was made with */

    /* One moving object: its texture and its path. */
    struct Mover
    {
        int id;            /* the object's number */
        cv::Mat sprite;    /* its picture, 8-bit BGR */
        cv::Mat mask;      /* where the sprite is opaque, 8-bit */
        cv::Point2d start; /* top-left corner in frame 0 */
        cv::Point2d speed; /* pixels per frame */
        cv::Rect2d range;  /* the top-left corner wraps around inside this area */
    };

  private:
    cv::Point TopLeft(const Mover& mover, int frame) const;

    cv::Mat background;        /* the still picture behind the objects */
    std::vector<Mover> movers; /* the objects, by increasing id */
};

/* Writes frameCount frames of scene to aviPath as Motion JPEG at fps, each stored upside down, and, unless
   csvPath is empty, the boxes to csvPath with the header "frame,id,x,y,width,height"; unless gtPath is
   empty, also the ground truth of the video file to gtPath (see WriteSceneGroundTruth). False on failure. */
bool WriteSceneVideo(const TrafficScene& scene, const std::string& aviPath, int frameCount, double fps,
                     const std::string& csvPath, const std::string& gtPath = std::string());

/* Writes the boxes of the first frameCount frames to gtPath as MOTChallenge ground truth,
   "frame,id,left,top,width,height,1,class,1" with frames from 1 and boxes in the coordinates of the stored
   (upside-down) file, as a player shows it; each object's id is its class, for every vehicle looks its own.
   False on failure. */
bool WriteSceneGroundTruth(const TrafficScene& scene, const std::string& gtPath, int frameCount);
