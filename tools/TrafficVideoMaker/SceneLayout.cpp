#include "SceneLayout.h"

#include "ScenePictures.h"
#include "Wrap.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {

/* At most this many objects in a scene, so that every one can be taught as a type of its own. */
const int MOST_OBJECTS = 40;
/* At most this many road users per lane of the road, and per path beside it. */
const int MOST_PER_LANE = 6;
const int MOST_PER_PATH = 3;
/* Widths of a footpath and of a cycle lane beside the road. */
const double FOOTPATH = 36.0;
const double CYCLE_LANE = 32.0;

/* The classic scene: six vehicles in four lanes of 140 between x 70 and 630. */
SceneLayout ClassicLayout()
{
    SceneLayout layout;
    layout.ground.roadLeft = 70;
    layout.ground.roadRight = 630;
    layout.ground.laneLines = {210, 350, 490};
    layout.ground.divider = 350;
    const double speeds[] = {-3.0, -2.0, 1.5, 2.5};
    for (int lane = 0; lane < 4; ++lane)
        layout.lanes.push_back({140.0 + 140.0 * lane, 140.0, speeds[lane], 130.0, true});
    // Vehicle 1 sits under the rectangle (370, 154, 100 x 100) in frame 0 and moves slowly.
    layout.plans = {
        {2, ObjectKind::Car, 108, 112, 148, 0, cv::Scalar(40, 40, 190)},
        {0, ObjectKind::Car, 96, 118, 300, 0, cv::Scalar(170, 90, 30)},
        {1, ObjectKind::Car, 84, 92, 40, 0, cv::Scalar(210, 210, 215)},
        {3, ObjectKind::Car, 116, 104, 330, 0, cv::Scalar(30, 180, 220)},
        {1, ObjectKind::Car, 100, 86, 420, 0, cv::Scalar(60, 140, 40)},
        {2, ObjectKind::Car, 90, 100, 518, 0, cv::Scalar(70, 60, 60)},
    };
    return layout;
}

/* A vehicle's kind drawn as a road's traffic mixes them: mostly cars. */
ObjectKind AnyVehicle(cv::RNG& rng)
{
    const double roll = rng.uniform(0.0, 1.0);
    return roll < 0.55   ? ObjectKind::Car
           : roll < 0.75 ? ObjectKind::Van
           : roll < 0.87 ? ObjectKind::Bus
                         : ObjectKind::Motorbike;
}

ObjectKind AnyPerson(cv::RNG&)
{
    return ObjectKind::Person;
}

ObjectKind AnyCyclist(cv::RNG&)
{
    return ObjectKind::Cyclist;
}

/* Draws the size of plan's kind: width and length in a lane of laneWidth. */
void DrawSize(ScenePlan& plan, double laneWidth, cv::RNG& rng)
{
    // Vehicles' widths are shares of the lane; people and cyclists have widths of their own, in pixels.
    struct Build
    {
        double narrow, wide;    /* width */
        double stubby, slender; /* length over width */
    };
    static const Build builds[] = {
        {0.50, 0.62, 2.1, 2.5}, /* car */
        {0.62, 0.72, 2.2, 2.7}, /* van */
        {0.72, 0.82, 3.0, 3.6}, /* bus */
        {0.22, 0.28, 2.6, 3.0}, /* motorbike */
        {18.0, 24.0, 2.8, 3.2}, /* person */
        {16.0, 21.0, 2.9, 3.3}, /* cyclist */
    };
    const Build& b = builds[int(plan.kind)];
    const bool vehicle = plan.kind != ObjectKind::Person && plan.kind != ObjectKind::Cyclist;
    plan.width = rng.uniform(b.narrow, b.wide) * (vehicle ? laneWidth : 1.0);
    plan.length = plan.width * rng.uniform(b.stubby, b.slender);
}

/* The main colour of a road user of kind: a car's paint, a bus company's livery, clothes. */
cv::Scalar DrawColour(ObjectKind kind, cv::RNG& rng)
{
    static const cv::Scalar paints[] = {{215, 215, 220}, {170, 170, 175}, {45, 45, 50},  {40, 40, 190},
                                        {150, 80, 30},   {90, 45, 25},    {60, 130, 50}, {30, 190, 230},
                                        {20, 120, 230},  {110, 110, 115}};
    static const cv::Scalar liveries[] = {{30, 170, 230}, {40, 50, 175}, {200, 200, 205}, {60, 140, 60}};
    if (kind == ObjectKind::Person || kind == ObjectKind::Cyclist)
        return cv::Scalar(rng.uniform(20, 236), rng.uniform(20, 236), rng.uniform(20, 236));
    cv::Scalar colour = kind == ObjectKind::Bus ? liveries[rng.uniform(0, 4)] : paints[rng.uniform(0, 10)];
    for (int c = 0; c < 3; ++c)
        colour[c] = std::clamp(colour[c] + rng.uniform(-15, 16), 0.0, 255.0);
    return colour;
}

/* Lays out at most most road users of the kinds choose draws along lane number index, spread over a loop
   through the rows from top to bottom; says how many. */
int FillLane(SceneLayout& layout, int index, int most, double top, double bottom, cv::RNG& rng,
             ObjectKind (*choose)(cv::RNG&))
{
    SceneLane& lane = layout.lanes[index];
    const double density = rng.uniform(0.45, 0.7);
    const double gap = std::max(16.0, 0.45 * lane.width);
    std::vector<ScenePlan> laid;
    double used = 0, longest = 0;
    while (int(laid.size()) < most) {
        ScenePlan plan{index, choose(rng), 0, 0, 0, 0, cv::Scalar()};
        DrawSize(plan, lane.width, rng);
        const double reach = std::max(longest, plan.length);
        if (!laid.empty() && used + plan.length + gap > density * (bottom - top + 2 * (reach + 20)))
            break;
        plan.colour = DrawColour(plan.kind, rng);
        laid.push_back(plan);
        used += plan.length + gap;
        longest = reach;
    }
    // A road user goes this far out of sight before it comes back, so that it never shows twice.
    lane.margin = longest + 20;
    const double loop = bottom - top + 2 * lane.margin;
    // The room left over goes to the gaps in random shares, so that gaps and entry times vary.
    std::vector<double> shares;
    double total = 0;
    for (std::size_t i = 0; i < laid.size(); ++i)
        total += shares.emplace_back(rng.uniform(0.05, 1.0));
    double at = rng.uniform(0.0, loop);
    for (std::size_t i = 0; i < laid.size(); ++i) {
        laid[i].y0 = Wrap(at, top - lane.margin, loop);
        at += laid[i].length + gap + (loop - used) * shares[i] / total;
        layout.plans.push_back(laid[i]);
    }
    return int(laid.size());
}

/* A layout drawn from rng: 2 to 6 lanes in both directions, their speeds and their vehicles; room for the
   paths beside the road when tall asks for them. */
SceneLayout DrawnLayout(bool tall, double top, double bottom, cv::RNG& rng)
{
    SceneLayout layout;
    SceneGround& g = layout.ground;
    const int lanes = rng.uniform(2, 7);
    int up = lanes / 2;
    if (lanes % 2 == 1 && rng.uniform(0, 2) == 1)
        ++up;
    const double paths = tall ? 2 * (FOOTPATH + CYCLE_LANE) : 0.0;
    const double free = REFERENCE_WIDTH - 24 - paths;
    const double width = std::min(rng.uniform(72.0, 96.0), free / lanes);
    g.roadLeft = 12 + paths / 2 + (free - lanes * width) * rng.uniform(0.3, 0.7);
    g.roadRight = g.roadLeft + lanes * width;
    g.divider = g.roadLeft + up * width;
    for (int i = 0; i < lanes; ++i) {
        if (i > 0)
            g.laneLines.push_back(g.roadLeft + i * width);
        const double speed = rng.uniform(1.5, 4.0);
        layout.lanes.push_back({g.roadLeft + (i + 0.5) * width, width, i < up ? -speed : speed, 0, true});
    }
    int room = MOST_OBJECTS - (tall ? 4 * MOST_PER_PATH : 0);
    for (int i = 0; i < lanes; ++i)
        room -= FillLane(layout, i, std::min(MOST_PER_LANE, room), top, bottom, rng, AnyVehicle);
    return layout;
}

/* Adds a cycle lane and a footpath on each side of the road where they fit in the picture, with their people
   and cyclists: cyclists ride the way of the road's side, people walk either way. */
void AddPaths(SceneLayout& layout, double top, double bottom, cv::RNG& rng)
{
    SceneGround& g = layout.ground;
    const double reach = FOOTPATH + CYCLE_LANE;
    for (const int side : {-1, 1}) {
        const double edge = side < 0 ? g.roadLeft : g.roadRight;
        if (edge + side * reach < 0 || edge + side * reach > REFERENCE_WIDTH)
            continue;
        const double cycleMiddle = edge + side * CYCLE_LANE / 2;
        const double footMiddle = edge + side * (CYCLE_LANE + FOOTPATH / 2);
        g.cycleLanes.push_back(cv::Vec2d(cycleMiddle - CYCLE_LANE / 2, cycleMiddle + CYCLE_LANE / 2));
        g.footpaths.push_back(cv::Vec2d(footMiddle - FOOTPATH / 2, footMiddle + FOOTPATH / 2));
        const double walk = rng.uniform(0.5, 1.1) * (rng.uniform(0, 2) == 1 ? 1 : -1);
        layout.lanes.push_back({cycleMiddle, CYCLE_LANE, side * rng.uniform(1.5, 2.6), 0, true});
        layout.lanes.push_back({footMiddle, FOOTPATH, walk, 0, false});
        const int lanes = int(layout.lanes.size());
        const int room = MOST_OBJECTS - int(layout.plans.size());
        const int cyclists =
            FillLane(layout, lanes - 2, std::min(MOST_PER_PATH, room), top, bottom, rng, AnyCyclist);
        FillLane(layout, lanes - 1, std::min(MOST_PER_PATH, room - cyclists), top, bottom, rng, AnyPerson);
    }
}

/* Sets vehicles of every other lane half into the lane on their right, where they hide part of the vehicles
   they pass; at least one when any lane has a neighbour. */
void Straddle(SceneLayout& layout, cv::RNG& rng)
{
    const SceneGround& g = layout.ground;
    auto onRoad = [&](std::size_t lane) {
        return lane < layout.lanes.size() && layout.lanes[lane].centre > g.roadLeft &&
               layout.lanes[lane].centre < g.roadRight;
    };
    ScenePlan* first = nullptr;
    bool any = false;
    for (ScenePlan& plan : layout.plans) {
        if (plan.lane % 2 != 0 || !onRoad(plan.lane) || !onRoad(plan.lane + 1))
            continue;
        if (!first)
            first = &plan;
        if (rng.uniform(0, 2) == 1) {
            plan.shift = layout.lanes[plan.lane].width * rng.uniform(0.55, 0.7);
            any = true;
        }
    }
    if (!any && first)
        first->shift = layout.lanes[first->lane].width * 0.6;
}

} // namespace

SceneLayout LayOutScene(const TrafficSceneOptions& options, double top, double bottom)
{
    cv::RNG rng(options.seed * 2654435769u + 0x1A70u);
    SceneLayout layout = options.seed == 1 ? ClassicLayout() : DrawnLayout(options.tall, top, bottom, rng);
    if (options.tall) {
        cv::RNG paths(options.seed * 2654435769u + 0x7A11u);
        AddPaths(layout, top, bottom, paths);
    }
    if (options.occlusion) {
        cv::RNG straddling(options.seed * 2654435769u + 0x0CC1u);
        Straddle(layout, straddling);
    }
    return layout;
}

void PaintGround(cv::Mat& image, const SceneGround& g, cv::Point origin, double sx, double sy, double top,
                 double bottom, cv::RNG& rng)
{
    auto column = [&](double x) { return int(x * sx) - origin.x; };
    auto row = [&](double y) { return int(y * sy) - origin.y; };
    const cv::Rect whole(0, 0, image.cols, image.rows);
    auto strip = [&](const cv::Vec2d& edges) {
        return cv::Rect(cv::Point(column(edges[0]), 0), cv::Point(column(edges[1]), image.rows)) & whole;
    };

    // Grass shoulders, asphalt between them, edge lines and dashed lines between the lanes.
    FillTextured(image, cv::Scalar(40, 110, 60), 18.0, rng);
    cv::Mat road = image(strip(cv::Vec2d(g.roadLeft, g.roadRight)));
    FillTextured(road, cv::Scalar(95, 95, 92), 16.0, rng);
    const cv::Scalar paint(225, 230, 230);
    for (const double x : {g.roadLeft + 2, g.roadRight - 4})
        cv::rectangle(image, cv::Rect(column(x), 0, std::max(1, int(3 * sx)), image.rows), paint, cv::FILLED);
    // Dashes of 40 every 70 rows from row 10, wherever the camera may look.
    for (const double x : g.laneLines)
        for (double y = 10 + 70 * std::floor((top - 10) / 70); y < bottom; y += 70)
            if (y + 40 > top)
                cv::rectangle(image, cv::Rect(column(x - 2), row(y), std::max(1, int(4 * sx)), int(40 * sy)),
                              x == g.divider ? cv::Scalar(60, 200, 230) : paint, cv::FILLED);

    for (const cv::Vec2d& path : g.footpaths) {
        cv::Mat paving = image(strip(path));
        if (paving.empty())
            continue;
        FillTextured(paving, cv::Scalar(170, 175, 178), 8.0, rng);
        for (double y = 24 * std::floor(top / 24); y < bottom; y += 24)
            cv::line(paving, cv::Point(0, row(y)), cv::Point(paving.cols - 1, row(y)),
                     cv::Scalar(130, 135, 138));
    }
    for (const cv::Vec2d& lane : g.cycleLanes) {
        cv::Mat surface = image(strip(lane));
        FillTextured(surface, cv::Scalar(70, 80, 160), 10.0, rng);
    }
    if (g.crossing < 0)
        return;
    // A zebra crossing over the road and the cycle lanes, with a stop line before it on each side.
    double left = g.roadLeft, right = g.roadRight;
    for (const cv::Vec2d& lane : g.cycleLanes) {
        left = std::min(left, lane[0]);
        right = std::max(right, lane[1]);
    }
    for (double x = left + 6; x + 12 <= right; x += 24)
        cv::rectangle(image, cv::Rect(column(x), row(g.crossing), int(12 * sx), int(CROSSING_LENGTH * sy)),
                      paint, cv::FILLED);
    const int line = std::max(1, int(5 * sy));
    cv::rectangle(image,
                  cv::Rect(cv::Point(column(g.divider), row(g.crossing - 12)),
                           cv::Point(column(right), row(g.crossing - 12) + line)),
                  paint, cv::FILLED);
    cv::rectangle(image,
                  cv::Rect(cv::Point(column(left), row(g.crossing + CROSSING_LENGTH + 7)),
                           cv::Point(column(g.divider), row(g.crossing + CROSSING_LENGTH + 7) + line)),
                  paint, cv::FILLED);
}
