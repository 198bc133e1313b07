#include "TrafficScene.h"

#include "SceneCamera.h"
#include "SceneLayout.h"
#include "SceneLighting.h"
#include "ScenePictures.h"
#include "StopAndGo.h"
#include "Wrap.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace {

/* A generator for the situations' own choices, apart from the layout's, so that asking for one situation
   leaves the rest of the scene as the seed draws it. */
cv::RNG SituationGenerator(unsigned seed, unsigned situation)
{
    return cv::RNG(seed * 3266489917u + situation);
}

} // namespace

const char* ObjectKindName(ObjectKind kind)
{
    static const char* const names[] = {"car", "van", "bus", "motorbike", "person", "cyclist", "rectangle"};
    return names[int(kind)];
}

TrafficScene::TrafficScene(const TrafficSceneOptions& options_) : options(options_)
{
    if (options.kind == SceneKind::Traffic)
        MakeTraffic();
    else
        MakeSquares();
    for (Mover& m : movers)
        m.area = cv::countNonZero(m.mask);
    for (const bool top : {false, true})
        for (std::size_t i = 0; i < movers.size(); ++i)
            if (movers[i].onTop == top)
                drawingOrder.push_back(int(i));
}

void TrafficScene::MakeTraffic()
{
    const double sx = options.width / REFERENCE_WIDTH;
    const double sy = options.height / REFERENCE_HEIGHT;
    camera = std::make_shared<const SceneCamera>(options);
    world = camera->World();
    const double top = world.y / sy, bottom = (world.y + world.height) / sy;
    SceneLayout layout = LayOutScene(options, top, bottom);
    TrafficLight light{0, 0, 0};
    StopLines lines{0, 0, sy};
    if (options.stopAndGo) {
        // The crossing lies a little below the middle of the picture; red comes within the first 2.4 s and
        // lasts 3 to 4.4 s, green 3.6 to 5.6 s.
        cv::RNG timing = SituationGenerator(options.seed, 1);
        layout.ground.crossing = camera->SceneRow(options.height * timing.uniform(0.45, 0.6)) / sy;
        light.green = timing.uniform(90, 141);
        light.red = timing.uniform(75, 111);
        light.phase = light.green - timing.uniform(20, 61);
        lines.down = (layout.ground.crossing - STOP_DISTANCE) * sy;
        lines.up = (layout.ground.crossing + CROSSING_LENGTH + STOP_DISTANCE) * sy;
    }
    cv::RNG rng(0x9E3779B9u ^ options.seed);
    background.create(world.height, world.width, CV_8UC3);
    PaintGround(background, layout.ground, world.tl(), sx, sy, top, bottom, rng);
    AddRoadUsers(layout);
    if (options.stopAndGo) {
        std::vector<bool> signalled;
        for (const SceneLane& lane : layout.lanes)
            signalled.push_back(lane.signalled);
        queues = std::make_shared<const QueueSimulation>(movers, signalled, light, lines);
    }
    if (options.occlusion)
        AddCovers(layout);
    if (options.lighting)
        lighting = std::make_shared<const SceneLighting>(options, world);
}

void TrafficScene::AddRoadUsers(const SceneLayout& layout)
{
    const double sx = options.width / REFERENCE_WIDTH;
    const double sy = options.height / REFERENCE_HEIGHT;
    int id = 1;
    for (const ScenePlan& plan : layout.plans) {
        const SceneLane& lane = layout.lanes[plan.lane];
        Mover m;
        m.id = id++;
        m.kind = plan.kind;
        m.lane = plan.lane;
        m.onTop = plan.shift != 0;
        const int w = std::max(4, int(std::lround(plan.width * sx)));
        const int h = std::max(4, int(std::lround(plan.length * sy)));
        m.sprite.create(h, w, CV_8UC3);
        cv::RNG vehicleRng(options.seed * 7919u + unsigned(m.id));
        DrawRoadUser(plan.kind, m.sprite, m.mask, plan.colour, lane.speed < 0, vehicleRng);
        m.start = cv::Point2d((lane.centre + plan.shift) * sx - w / 2.0, plan.y0 * sy);
        m.speed = cv::Point2d(0.0, lane.speed * sy);
        // Each road user loops through the rows the camera sees and a margin beyond them on either side.
        m.range = cv::Rect2d(0, -lane.margin * sy + world.y, 0,
                             (REFERENCE_HEIGHT + 2 * lane.margin) * sy + (world.height - options.height));
        movers.push_back(m);
    }
}

void TrafficScene::AddCovers(const SceneLayout& layout)
{
    // A bridge across the upper part of the picture, a tree's crown over one edge of the road lower down.
    const double sx = options.width / REFERENCE_WIDTH;
    const double sy = options.height / REFERENCE_HEIGHT;
    cv::RNG rng = SituationGenerator(options.seed, 2);
    Cover bridge;
    bridge.picture.create(std::max(2, int(rng.uniform(44.0, 64.0) * sy)), world.width, CV_8UC3);
    DrawBridge(bridge.picture, rng);
    bridge.mask = cv::Mat(bridge.picture.size(), CV_8U, cv::Scalar(255));
    bridge.topLeft = cv::Point(world.x, int(camera->SceneRow(options.height * rng.uniform(0.2, 0.38))));
    covers.push_back(bridge);

    Cover tree;
    const double across = rng.uniform(0.9, 1.3) * layout.lanes[0].width;
    tree.picture.create(std::max(4, int(across * sy)), std::max(4, int(across * sx)), CV_8UC3);
    DrawTreeCrown(tree.picture, tree.mask, rng);
    const double edge = rng.uniform(0, 2) == 1 ? layout.ground.roadRight : layout.ground.roadLeft;
    const cv::Point middle(int((edge + rng.uniform(-0.15, 0.15) * across) * sx),
                           int(camera->SceneRow(options.height * rng.uniform(0.62, 0.85))));
    tree.topLeft = middle - cv::Point(tree.picture.cols / 2, tree.picture.rows / 2);
    covers.push_back(tree);
}

void TrafficScene::MakeSquares()
{
    const double sx = options.width / REFERENCE_WIDTH;
    const double sy = options.height / REFERENCE_HEIGHT;
    TrafficSceneOptions still;
    still.width = options.width;
    still.height = options.height;
    camera = std::make_shared<const SceneCamera>(still);
    world = camera->World();
    cv::RNG rng(0x9E3779B9u ^ options.seed);
    background.create(options.height, options.width, CV_8UC3);
    FillTextured(background, cv::Scalar(128, 126, 124), 10.0, rng);
    // Six rectangles, each drifting inside its own cell of a 3 x 2 grid, so that none ever overlaps
    // another.
    const int sides[][2] = {{50, 40}, {60, 60}, {44, 56}, {56, 46}, {40, 40}, {58, 50}};
    const double cellW = REFERENCE_WIDTH / 3, cellH = REFERENCE_HEIGHT / 2;
    for (int i = 0; i < 6; ++i) {
        Mover m;
        m.id = i + 1;
        m.kind = ObjectKind::Rectangle;
        const int w = std::max(4, int(std::lround(sides[i][0] * sx)));
        const int h = std::max(4, int(std::lround(sides[i][1] * sy)));
        const cv::Scalar fill = i % 2 == 0 ? cv::Scalar(35, 30, 30) : cv::Scalar(225, 230, 230);
        m.sprite = cv::Mat(h, w, CV_8UC3, fill);
        m.mask = cv::Mat(h, w, CV_8U, cv::Scalar(255));
        const double left = (i % 3) * cellW + 20, top = std::floor(i / 3.0) * cellH + 20;
        m.range = cv::Rect2d(left * sx, top * sy, (cellW - 40) * sx - w, (cellH - 40) * sy - h);
        m.start = cv::Point2d(m.range.x + rng.uniform(0.0, m.range.width),
                              m.range.y + rng.uniform(0.0, m.range.height));
        m.speed = cv::Point2d(rng.uniform(-1.5, 1.5) * sx, rng.uniform(-1.5, 1.5) * sy);
        movers.push_back(m);
    }
}

cv::Point TrafficScene::TopLeft(const Mover& m, int frame) const
{
    const double x = m.start.x + m.speed.x * frame;
    double y = m.start.y + m.speed.y * frame;
    if (options.kind == SceneKind::Traffic) {
        if (queues) {
            const double travelled = queues->Travelled(std::size_t(m.id - 1), frame);
            y = m.start.y + (m.speed.y < 0 ? -travelled : travelled);
        }
        return cv::Point(int(std::lround(x)), int(std::lround(Wrap(y, m.range.y, m.range.height))));
    }
    // Rectangles bounce to and fro inside their cells: a triangle wave over the free range.
    auto bounce = [](double value, double low, double length) {
        if (length <= 0)
            return low;
        const double t = Wrap(value - low, 0.0, 2 * length);
        return low + (t < length ? t : 2 * length - t);
    };
    return cv::Point(int(std::lround(bounce(x, m.range.x, m.range.width))),
                     int(std::lround(bounce(y, m.range.y, m.range.height))));
}

void TrafficScene::Compose(int frame, const cv::Rect& sight, cv::Mat& image) const
{
    background(sight - world.tl()).copyTo(image);
    auto lay = [&](const cv::Mat& picture, const cv::Mat& mask, const cv::Point& topLeft) {
        const cv::Rect placed(topLeft, picture.size());
        const cv::Rect visible = placed & sight;
        if (visible.empty())
            return;
        const cv::Rect inPicture(visible.tl() - placed.tl(), visible.size());
        picture(inPicture).copyTo(image(visible - sight.tl()), mask(inPicture));
    };
    for (const int i : drawingOrder)
        lay(movers[i].sprite, movers[i].mask, TopLeft(movers[i], frame));
    for (const Cover& c : covers)
        lay(c.picture, c.mask, c.topLeft);
    if (lighting)
        lighting->Shade(image, sight.tl(), frame);
}

void TrafficScene::Render(int frame, cv::Mat& image) const
{
    const cv::Rect sight = camera->Sight() + camera->Offset(frame);
    if (camera->Flat()) {
        Compose(frame, sight, image);
    } else {
        Compose(frame, sight, canvas);
        camera->Look(canvas, image);
    }
    if (lighting)
        image.convertTo(image, -1, lighting->Gain(frame));
    if (options.noise > 0) {
        cv::RNG rng(options.seed * 1000003u + unsigned(frame));
        cv::Mat noise(image.size(), CV_16SC3);
        rng.fill(noise, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(options.noise));
        cv::Mat sum;
        image.convertTo(sum, CV_16SC3);
        sum += noise;
        sum.convertTo(image, CV_8UC3);
    }
}

std::vector<SceneObject> TrafficScene::Boxes(int frame) const
{
    // Which object shows at each pixel of the scene under the picture: later ones over earlier ones, covers
    // over all, and nothing where the picture does not reach.
    const cv::Rect sight = camera->Sight() + camera->Offset(frame);
    cv::Mat shown = cv::Mat::zeros(sight.size(), CV_8U);
    auto cover = [&](const cv::Mat& mask, const cv::Point& topLeft, int id) {
        const cv::Rect placed(topLeft, mask.size());
        const cv::Rect visible = placed & sight;
        if (!visible.empty())
            shown(visible - sight.tl()).setTo(id, mask(cv::Rect(visible.tl() - placed.tl(), visible.size())));
    };
    for (const int i : drawingOrder)
        cover(movers[i].mask, TopLeft(movers[i], frame), movers[i].id);
    for (const Cover& c : covers)
        cover(c.mask, c.topLeft, 0);
    if (!camera->Flat())
        cv::bitwise_and(shown, camera->SightMask(), shown);

    std::vector<SceneObject> boxes;
    const cv::Rect whole(0, 0, options.width, options.height);
    for (const Mover& m : movers) {
        const cv::Rect placed(TopLeft(m, frame), m.sprite.size());
        const cv::Rect box = camera->Project(placed, frame) & whole;
        if (box.empty())
            continue;
        const cv::Rect visible = placed & sight;
        const int seen = visible.empty() ? 0 : cv::countNonZero(shown(visible - sight.tl()) == m.id);
        boxes.push_back(SceneObject{m.id, box, m.area > 0 ? double(seen) / m.area : 0.0});
    }
    return boxes;
}

std::vector<ObjectKind> TrafficScene::Kinds() const
{
    std::vector<ObjectKind> kinds;
    for (const Mover& m : movers)
        kinds.push_back(m.kind);
    return kinds;
}
