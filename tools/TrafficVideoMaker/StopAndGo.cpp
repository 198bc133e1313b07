#include "StopAndGo.h"

#include "Wrap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

/* Layout pixels per frame and frame: how fast a road user gains speed and how hard it brakes. */
const double ACCELERATION = 0.06;
const double DECELERATION = 0.12;
/* Layout pixels between a road user standing in a queue and the one ahead. */
const double STANDING_GAP = 14.0;

} // namespace

QueueSimulation::QueueSimulation(const std::vector<TrafficScene::Mover>& movers,
                                 const std::vector<bool>& signalled, const TrafficLight& light_,
                                 const StopLines& lines_)
    : light(light_), lines(lines_)
{
    for (const TrafficScene::Mover& m : movers) {
        followers.push_back({m.lane, double(m.sprite.rows), m.start.y, m.speed.y, m.range.y, m.range.height,
                             signalled[m.lane]});
        speeds.push_back(std::abs(m.speed.y));
    }
    drivesOn.assign(movers.size(), false);
    travelled.emplace_back(movers.size(), 0.0);
}

double QueueSimulation::Travelled(std::size_t index, int frame) const
{
    while (int(travelled.size()) <= frame)
        Step();
    return travelled[std::max(0, frame)][index];
}

double QueueSimulation::Top(std::size_t i, double distance) const
{
    const Follower& f = followers[i];
    return Wrap(f.top + (f.speed < 0 ? -distance : distance), f.loopTop, f.loop);
}

void QueueSimulation::Step() const
{
    const std::vector<double>& now = travelled.back();
    std::vector<double> next = now;
    const int frame = int(travelled.size());
    const double unit = lines.unit;
    for (std::size_t i = 0; i < followers.size(); ++i) {
        const Follower& f = followers[i];
        const bool down = f.speed > 0;
        const double top = Top(i, now[i]);
        const double front = down ? top + f.length : top;
        // Room ahead: to the rear of the next road user in the lane, less the gap kept when standing.
        double room = std::numeric_limits<double>::infinity();
        for (std::size_t j = 0; j < followers.size(); ++j) {
            if (j == i || followers[j].lane != f.lane)
                continue;
            const double otherTop = Top(j, now[j]);
            const double rear = down ? otherTop : otherTop + followers[j].length;
            room = std::min(room, Wrap(down ? rear - front : front - rear, 0, f.loop) - STANDING_GAP * unit);
        }
        // When the light turns red, whoever could stop before the line, braking at most twice as hard as
        // it likes, stops there; the others drive on through.
        const double toLine = Wrap(down ? lines.down - front : front - lines.up, 0, f.loop);
        if (light.Red(frame) && !light.Red(frame - 1))
            drivesOn[i] = toLine < speeds[i] * speeds[i] / (4 * DECELERATION * unit);
        if (f.signalled && light.Red(frame) && !drivesOn[i])
            room = std::min(room, toLine);
        room = std::max(0.0, room);
        const double speed = std::min({std::abs(f.speed), speeds[i] + ACCELERATION * unit,
                                       std::sqrt(2 * DECELERATION * unit * room), room});
        next[i] = now[i] + speed;
        speeds[i] = speed;
    }
    travelled.push_back(std::move(next));
}
