#include "TrafficScene.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <cstdio>

namespace {

/* The layout is drawn for 640 x 480 and scaled to the scene's size. */
const double REFERENCE_WIDTH = 640.0;
const double REFERENCE_HEIGHT = 480.0;

/* Fills image with a colour plus seeded Gaussian texture, smoothed a little to look like a surface. */
void FillTextured(cv::Mat& image, const cv::Scalar& colour, double sigma, cv::RNG& rng)
{
    cv::Mat texture(image.size(), CV_16SC3);
    rng.fill(texture, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(sigma));
    cv::GaussianBlur(texture, texture, cv::Size(3, 3), 0.8);
    cv::Mat base(image.size(), CV_16SC3, colour);
    cv::Mat sum = base + texture;
    sum.convertTo(image, CV_8UC3);
}

/* Wraps value into [low, low + length). */
double Wrap(double value, double low, double length)
{
    double offset = std::fmod(value - low, length);
    if (offset < 0)
        offset += length;
    return low + offset;
}

/* A vehicle seen from above, driving up (towards row 0) when up is true. */
void DrawVehicle(cv::Mat& sprite, cv::Mat& mask, const cv::Scalar& body, bool up, cv::RNG& rng)
{
    const int w = sprite.cols;
    const int h = sprite.rows;
    FillTextured(sprite, body, 14.0, rng);
    mask = cv::Mat::zeros(sprite.size(), CV_8U);
    const int r = std::max(3, w / 8);
    cv::rectangle(mask, cv::Rect(r, 0, w - 2 * r, h), cv::Scalar(255), cv::FILLED);
    cv::rectangle(mask, cv::Rect(0, r, w, h - 2 * r), cv::Scalar(255), cv::FILLED);
    for (const cv::Point c :
         {cv::Point(r, r), cv::Point(w - 1 - r, r), cv::Point(r, h - 1 - r), cv::Point(w - 1 - r, h - 1 - r)})
        cv::circle(mask, c, r, cv::Scalar(255), cv::FILLED);

    // Windscreen towards the front, rear window towards the back, a roof panel between them.
    const int front = up ? h / 5 : h - h / 5 - h / 6;
    const int rear = up ? h - h / 5 - h / 10 : h / 5;
    const cv::Scalar glass(40 + rng.uniform(0, 20), 35 + rng.uniform(0, 20), 30 + rng.uniform(0, 20));
    cv::rectangle(sprite, cv::Rect(w / 6, front, w - w / 3, h / 6), glass, cv::FILLED);
    cv::rectangle(sprite, cv::Rect(w / 5, rear, w - 2 * (w / 5), h / 10), glass, cv::FILLED);
    const cv::Scalar roof = body * 0.8;
    const int roofTop = std::min(front, rear) + h / 6 + 2;
    const int roofBottom = std::max(front, rear) - 2;
    if (roofBottom > roofTop)
        cv::rectangle(sprite, cv::Rect(w / 5, roofTop, w - 2 * (w / 5), roofBottom - roofTop), roof,
                      cv::FILLED);
    // A stripe and lights make each vehicle's pattern its own.
    const cv::Scalar stripe(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256));
    cv::line(sprite, cv::Point(w / 2, 2), cv::Point(w / 2, h - 3), stripe, std::max(2, w / 14));
    const int lights = up ? 2 : h - 8;
    cv::rectangle(sprite, cv::Rect(r, lights, w / 6, 6), cv::Scalar(200, 240, 255), cv::FILLED);
    cv::rectangle(sprite, cv::Rect(w - r - w / 6, lights, w / 6, 6), cv::Scalar(200, 240, 255), cv::FILLED);
    cv::rectangle(sprite, cv::Rect(0, 0, w, h), body * 0.5, 2);
}

} // namespace

TrafficScene::TrafficScene(const TrafficSceneOptions& options_) : options(options_)
{
    const double sx = options.width / REFERENCE_WIDTH;
    const double sy = options.height / REFERENCE_HEIGHT;
    cv::RNG rng(0x9E3779B9u ^ options.seed);
    background.create(options.height, options.width, CV_8UC3);

    if (options.kind == SceneKind::Traffic) {
        // Grass shoulders, asphalt between x 70 and 630, four lanes of 140 with dashed markings.
        FillTextured(background, cv::Scalar(40, 110, 60), 18.0, rng);
        cv::Mat road =
            background(cv::Rect(cv::Point(int(70 * sx), 0), cv::Point(int(630 * sx), options.height)));
        FillTextured(road, cv::Scalar(95, 95, 92), 16.0, rng);
        const cv::Scalar paint(225, 230, 230);
        for (const double x : {72.0, 626.0})
            cv::rectangle(background, cv::Rect(int(x * sx), 0, std::max(1, int(3 * sx)), options.height),
                          paint, cv::FILLED);
        for (const double x : {210.0, 350.0, 490.0})
            for (double y = 10; y < REFERENCE_HEIGHT; y += 70)
                cv::rectangle(
                    background,
                    cv::Rect(int((x - 2) * sx), int(y * sy), std::max(1, int(4 * sx)), int(40 * sy)),
                    x == 350.0 ? cv::Scalar(60, 200, 230) : paint, cv::FILLED);

        struct Plan
        {
            int lane;
            int width, length;
            double y0, speed;
            cv::Scalar colour;
        };
        // Vehicle 1 sits under the rectangle (370, 154, 100 x 100) in frame 0 and moves slowly.
        const Plan plans[] = {
            {2, 108, 112, 148, 1.5, cv::Scalar(40, 40, 190)},
            {0, 96, 118, 300, -3.0, cv::Scalar(170, 90, 30)},
            {1, 84, 92, 40, -2.0, cv::Scalar(210, 210, 215)},
            {3, 116, 104, 330, 2.5, cv::Scalar(30, 180, 220)},
            {1, 100, 86, 420, -2.0, cv::Scalar(60, 140, 40)},
            {2, 90, 100, 518, 1.5, cv::Scalar(70, 60, 60)},
        };
        const double margin = 130;
        int id = 1;
        for (const Plan& plan : plans) {
            Mover m;
            m.id = id++;
            const int w = std::max(4, int(std::lround(plan.width * sx)));
            const int h = std::max(4, int(std::lround(plan.length * sy)));
            m.sprite.create(h, w, CV_8UC3);
            cv::RNG vehicleRng(options.seed * 7919u + unsigned(m.id));
            DrawVehicle(m.sprite, m.mask, plan.colour, plan.speed < 0, vehicleRng);
            const double centre = 140.0 + 140.0 * plan.lane;
            m.start = cv::Point2d(centre * sx - w / 2.0, plan.y0 * sy);
            m.speed = cv::Point2d(0.0, plan.speed * sy);
            m.range = cv::Rect2d(0, -margin * sy, 0, (REFERENCE_HEIGHT + 2 * margin) * sy);
            movers.push_back(m);
        }
    } else {
        FillTextured(background, cv::Scalar(128, 126, 124), 10.0, rng);
        // Six rectangles, each drifting inside its own cell of a 3 x 2 grid, so that none ever overlaps
        // another.
        const int sides[][2] = {{50, 40}, {60, 60}, {44, 56}, {56, 46}, {40, 40}, {58, 50}};
        const double cellW = REFERENCE_WIDTH / 3, cellH = REFERENCE_HEIGHT / 2;
        for (int i = 0; i < 6; ++i) {
            Mover m;
            m.id = i + 1;
            const int w = std::max(4, int(std::lround(sides[i][0] * sx)));
            const int h = std::max(4, int(std::lround(sides[i][1] * sy)));
            const cv::Scalar fill = i % 2 == 0 ? cv::Scalar(35, 30, 30) : cv::Scalar(225, 230, 230);
            m.sprite = cv::Mat(h, w, CV_8UC3, fill);
            m.mask = cv::Mat(h, w, CV_8U, cv::Scalar(255));
            const double left = (i % 3) * cellW + 20, top = (i / 3) * cellH + 20;
            m.range = cv::Rect2d(left * sx, top * sy, (cellW - 40) * sx - w, (cellH - 40) * sy - h);
            m.start = cv::Point2d(m.range.x + rng.uniform(0.0, m.range.width),
                                  m.range.y + rng.uniform(0.0, m.range.height));
            m.speed = cv::Point2d(rng.uniform(-1.5, 1.5) * sx, rng.uniform(-1.5, 1.5) * sy);
            movers.push_back(m);
        }
    }
}

cv::Point TrafficScene::TopLeft(const Mover& m, int frame) const
{
    const double x = m.start.x + m.speed.x * frame;
    const double y = m.start.y + m.speed.y * frame;
    if (options.kind == SceneKind::Traffic)
        return cv::Point(int(std::lround(x)), int(std::lround(Wrap(y, m.range.y, m.range.height))));
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

void TrafficScene::Render(int frame, cv::Mat& image) const
{
    background.copyTo(image);
    const cv::Rect whole(0, 0, image.cols, image.rows);
    for (const Mover& m : movers) {
        const cv::Rect placed(TopLeft(m, frame), m.sprite.size());
        const cv::Rect visible = placed & whole;
        if (visible.empty())
            continue;
        const cv::Rect inSprite(visible.tl() - placed.tl(), visible.size());
        m.sprite(inSprite).copyTo(image(visible), m.mask(inSprite));
    }
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
    std::vector<SceneObject> boxes;
    const cv::Rect whole(0, 0, options.width, options.height);
    for (const Mover& m : movers) {
        const cv::Rect visible = cv::Rect(TopLeft(m, frame), m.sprite.size()) & whole;
        if (!visible.empty())
            boxes.push_back(SceneObject{m.id, visible});
    }
    return boxes;
}

bool WriteSceneGroundTruth(const TrafficScene& scene, const std::string& gtPath, int frameCount)
{
    std::FILE* gt = std::fopen(gtPath.c_str(), "w");
    if (!gt)
        return false;
    const int height = scene.options.height;
    for (int k = 0; k < frameCount; ++k)
        for (const SceneObject& o : scene.Boxes(k))
            // Rows y .. y+h-1 of the upright frame are rows H-y-h .. H-1-y of the stored one.
            std::fprintf(gt, "%d,%d,%d,%d,%d,%d,1,%d,1\n", k + 1, o.id, o.box.x,
                         height - o.box.y - o.box.height, o.box.width, o.box.height, o.id);
    return std::fclose(gt) == 0;
}

bool WriteSceneVideo(const TrafficScene& scene, const std::string& aviPath, int frameCount, double fps,
                     const std::string& csvPath, const std::string& gtPath)
{
    if (frameCount < 0 || !(fps > 0))
        return false;
    if (!gtPath.empty() && !WriteSceneGroundTruth(scene, gtPath, frameCount))
        return false;
    cv::VideoWriter writer(aviPath, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps,
                           cv::Size(scene.options.width, scene.options.height), true);
    if (!writer.isOpened())
        return false;
    std::FILE* csv = nullptr;
    if (!csvPath.empty()) {
        csv = std::fopen(csvPath.c_str(), "w");
        if (!csv)
            return false;
        std::fprintf(csv, "frame,id,x,y,width,height\n");
    }
    cv::Mat frame, stored;
    for (int k = 0; k < frameCount; ++k) {
        scene.Render(k, frame);
        // Files hold their frames bottom-up; the programs turn each one upright again.
        cv::flip(frame, stored, 0);
        writer.write(stored);
        if (csv)
            for (const SceneObject& o : scene.Boxes(k))
                std::fprintf(csv, "%d,%d,%d,%d,%d,%d\n", k, o.id, o.box.x, o.box.y, o.box.width,
                             o.box.height);
    }
    bool ok = true;
    if (csv)
        ok = std::fclose(csv) == 0;
    return ok;
}
