#pragma once
// Stop and go at a light: road users of the signalled lanes brake for red, queue behind each other, stand
// still until green and move off one after another. Their paths are followed frame by frame, as far as
// anyone has asked.

#include "TrafficScene.h"

#include <vector>

/* The light at the crossing: green for green frames, then red for red frames, over and over. */
struct TrafficLight
{
    int green; /* frames */
    int red;   /* frames */
    int phase; /* frames of the cycle gone by at frame 0 */

    bool Red(int frame) const { return frame >= 0 && (frame + phase) % (green + red) >= green; }
};

/* Where the light stops whom, in scene pixels. */
struct StopLines
{
    double down; /* the lowest row of the fronts of those that drive down */
    double up;   /* the highest row of the fronts of those that drive up */
    double unit; /* scene pixels per layout pixel along the road */
};

class QueueSimulation
{
  public:
    /* Follows movers, whose speed is the one each drives at when it can; signalled[lane] says which lanes
       stop at light. */
    QueueSimulation(const std::vector<TrafficScene::Mover>& movers, const std::vector<bool>& signalled,
                    const TrafficLight& light, const StopLines& lines);

    /* How far movers[index] has come along its lane by frame, scene pixels. */
    double Travelled(std::size_t index, int frame) const;

  private:
    /* One road user: its place on its lane's loop and its speed now. */
    struct Follower
    {
        int lane;
        double length, top, speed, loopTop, loop;
        bool signalled;
    };

    /* Row of the top edge of follower i after it has come travelled. */
    double Top(std::size_t i, double travelled) const;
    /* Adds the next frame to the paths. */
    void Step() const;

    std::vector<Follower> followers;
    TrafficLight light;
    StopLines lines;
    mutable std::vector<std::vector<double>> travelled; /* by frame, by follower */
    mutable std::vector<double> speeds;                 /* by follower, in the last frame followed */
    mutable std::vector<bool> drivesOn;                 /* by follower: too near the line to stop for red */
};
