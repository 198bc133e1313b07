#pragma once
// TrafficScene: a deterministic synthetic video for demos, tests and benchmarks, with the true box of
// every moving object in every frame and how much of it can be seen.
//
// Two kinds of scene: Traffic, a textured road seen from above with textured road users; and Squares,
// light and dark filled rectangles of 40-60 px drifting over a textured background. The same options always
// give the same frames and boxes: every texture, layout, path and noise comes from generators seeded with
// options.seed and, where it must, the frame number.
//
// The seed chooses the traffic scene. Seed 1, the default, is the classic scene: six vehicles of 80-120 px
// in four lanes at different speeds. Every other seed draws a scene of its own: 2 to 6 lanes in both
// directions, cars, vans, buses and motorbikes of their own sizes and shapes (length along the lane), and
// their speeds, gaps and entry times. Whatever the seed, an object that leaves the picture comes back into
// it later under the same id.
//
// Situations that traffic cameras meet are options that combine with each other and with any seed:
// stopAndGo, shake, pan, occlusion, lighting, perspective and tall (see TrafficSceneOptions). Seed 1
// without any of them gives exactly the frames and boxes it always gave. The Squares scene has none.
//
// Coordinates: Render and Boxes work in the programs' analysed coordinates, that is upright, row 0 at the
// top of the picture, as the programs see a frame after they have turned it upside down. A video file
// therefore stores each rendered frame upside down (cv::flip with code 0); WriteSceneVideo does that, and
// its CSV of boxes is in the analysed coordinates like Boxes, its ground truth in those of the file.
//
//     TrafficScene scene(TrafficSceneOptions{});   // 640 x 480 traffic
//     cv::Mat frame;
//     scene.Render(k, frame);                      // frame k, 8-bit BGR, upright
//     for (const SceneObject& o : scene.Boxes(k))  // the objects whose box meets frame k
//         use(o.id, o.box, o.visibility);
//
// At the default size frame 0 of the classic scene has vehicle 1 under the rectangle x 370, y 154,
// 100 x 100, where Lanescope's first training frame looks.

#include <opencv2/core.hpp>

#include <memory>
#include <string>
#include <vector>

/* What a scene shows. */
enum class SceneKind {
    Traffic, /* vehicles on a road */
    Squares  /* filled rectangles on a background */
};

/* What one object of a scene is. */
enum class ObjectKind { Car, Van, Bus, Motorbike, Person, Cyclist, Rectangle };

/* The object kind's name in lower case: "car", "van", "bus", "motorbike", "person", "cyclist", "rectangle".
 */
const char* ObjectKindName(ObjectKind kind);

/* How a scene is made. */
struct TrafficSceneOptions
{
    SceneKind kind = SceneKind::Traffic; /* what the scene shows */
    int width = 640;                     /* frame width in pixels; the layout scales with it */
    int height = 480;                    /* frame height in pixels; the layout scales with it */
    unsigned seed = 1;                   /* 1: the classic traffic scene, any other one of its own; all textures */
    double noise = 2.0;                  /* standard deviation of the per-frame pixel noise, grey levels */

    // Situations of a traffic scene; the scene's clock runs at 25 frames a second.
    bool stopAndGo = false;   /* a light at a crossing: road users queue and stand still for seconds */
    bool shake = false;       /* the camera shakes like a pole in wind: a few pixels, a few times a second */
    bool pan = false;         /* the camera pans slowly to and fro across the road */
    bool occlusion = false;   /* a bridge and a tree over the road, and vehicles half in the next lane that
                                 hide the vehicles beside them */
    bool lighting = false;    /* a cloud's shadow drifts over the scene, and the light dims gradually */
    bool perspective = false; /* the ground shrinks towards the top, to half its size at row 0 */
    bool tall = false;        /* people and cyclists, about 1 : 3, on paths beside the road */
};

/* One object in a frame. */
struct SceneObject
{
    int id;                  /* the object's number, 1 upwards, the same in every frame */
    cv::Rect box;            /* its box, clipped to the frame, in analysed coordinates */
    double visibility = 1.0; /* share of its own picture that can be seen: neither outside the frame nor
                                under a bridge, a tree or another object; 0 when it is wholly hidden */
};

class SceneCamera;
class SceneLighting;
class QueueSimulation;
struct SceneLayout;

class TrafficScene
{
  public:
    /* Prepares the background, the layout and the object textures of the scene. */
    explicit TrafficScene(const TrafficSceneOptions& options = TrafficSceneOptions());

    /* Draws frame number frame (0 upwards) into image as 8-bit BGR of the scene's size, upright. */
    void Render(int frame, cv::Mat& image) const;

    /* The objects whose box meets frame number frame, in analysed coordinates, by increasing id; an object
       wholly hidden under something is among them with visibility 0. */
    std::vector<SceneObject> Boxes(int frame) const;

    /* What each object is: object number id at index id - 1. */
    std::vector<ObjectKind> Kinds() const;

    TrafficSceneOptions options; /* the options the scene was made with */

    /* One moving object: its texture and its path. */
    struct Mover
    {
        int id;             /* the object's number */
        ObjectKind kind;    /* what it is */
        cv::Mat sprite;     /* its picture, 8-bit BGR */
        cv::Mat mask;       /* where the sprite is opaque, 8-bit */
        int area = 0;       /* opaque pixels of the sprite */
        int lane = -1;      /* its lane, for the queues at the light; -1 for the squares */
        bool onTop = false; /* drawn over the others: it drives half in the next lane */
        cv::Point2d start;  /* top-left corner in frame 0 */
        cv::Point2d speed;  /* pixels per frame; with a light, the speed it drives at when it can */
        cv::Rect2d range;   /* the top-left corner wraps around inside this area */
    };

  private:
    /* Something that stands over the road and hides what passes under it. */
    struct Cover
    {
        cv::Mat picture;   /* 8-bit BGR */
        cv::Mat mask;      /* where it is opaque, 8-bit */
        cv::Point topLeft; /* in scene coordinates */
    };

    /* Lays out the road, its road users and the situations that options ask for. */
    void MakeTraffic();
    /* Makes a mover of every road user that layout plans. */
    void AddRoadUsers(const SceneLayout& layout);
    /* Puts a bridge and a tree over the road that layout lays out. */
    void AddCovers(const SceneLayout& layout);
    /* Places the six drifting rectangles. */
    void MakeSquares();
    /* Where mover's top-left corner lies in frame, in scene coordinates. */
    cv::Point TopLeft(const Mover& mover, int frame) const;
    /* Draws the scene over sight (scene coordinates) as it lies in frame into image, before the camera's
       projection, the dimming and the noise. */
    void Compose(int frame, const cv::Rect& sight, cv::Mat& image) const;

    cv::Mat background;            /* the still picture behind the objects, over world */
    cv::Rect world;                /* the part of the scene the camera ever sees, in scene coordinates */
    std::vector<Mover> movers;     /* the objects, by increasing id */
    std::vector<int> drawingOrder; /* indices into movers, the topmost last */
    std::vector<Cover> covers;     /* what stands over the road, drawn over the movers */
    std::shared_ptr<const SceneCamera> camera;     /* how the picture shows the scene */
    std::shared_ptr<const SceneLighting> lighting; /* with lighting only */
    std::shared_ptr<const QueueSimulation> queues; /* with a light only */
    mutable cv::Mat canvas; /* the scene under a camera with perspective, before it is projected */
};

/* Writes frameCount frames of scene to aviPath as Motion JPEG at fps, each stored upside down, and, unless
   csvPath is empty, the boxes of the objects that can be seen to csvPath with the header
   "frame,id,x,y,width,height"; unless gtPath is empty, also the ground truth of the video file to gtPath
   (see WriteSceneGroundTruth). False on failure. */
bool WriteSceneVideo(const TrafficScene& scene, const std::string& aviPath, int frameCount, double fps,
                     const std::string& csvPath, const std::string& gtPath = std::string());

/* Writes the boxes of the first frameCount frames to gtPath as MOTChallenge ground truth,
   "frame,id,left,top,width,height,flag,class,visibility" with frames from 1 and boxes in the coordinates of
   the stored (upside-down) file, as a player shows it; each object's id is its class, for every vehicle
   looks its own. The flag is 1, or 0 for an object wholly hidden under something (left out of scoring);
   visibility is that of Boxes. False on failure. */
bool WriteSceneGroundTruth(const TrafficScene& scene, const std::string& gtPath, int frameCount);

/* Writes what each object of the scene is to path: the header "id,kind", then one line per object by
   increasing id, the kind by its name. False on failure. */
bool WriteSceneLegend(const TrafficScene& scene, const std::string& path);
