#include "ScenePictures.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace {

/* A car or a van seen from above, driving up (towards row 0) when up is true. */
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

/* A colour drawn at random, each channel in [low, high). */
cv::Scalar AnyColour(cv::RNG& rng, int low, int high)
{
    return cv::Scalar(rng.uniform(low, high), rng.uniform(low, high), rng.uniform(low, high));
}

/* A bus from above: a long roof with hatches, a windscreen at the front and a coloured band down one side. */
void DrawBus(cv::Mat& sprite, cv::Mat& mask, const cv::Scalar& body, bool up, cv::RNG& rng)
{
    const int w = sprite.cols, h = sprite.rows;
    FillTextured(sprite, body, 12.0, rng);
    mask = cv::Mat::zeros(sprite.size(), CV_8U);
    const int r = std::max(1, w / 10);
    cv::rectangle(mask, cv::Rect(r, 0, w - 2 * r, h), cv::Scalar(255), cv::FILLED);
    cv::rectangle(mask, cv::Rect(0, r, w, h - 2 * r), cv::Scalar(255), cv::FILLED);
    const int glassRows = std::max(2, h / 14);
    cv::rectangle(sprite, cv::Rect(w / 8, up ? 2 : h - 2 - glassRows, w - w / 4, glassRows),
                  cv::Scalar(45, 40, 35), cv::FILLED);
    for (const double at : {0.3, 0.5, 0.7})
        cv::rectangle(sprite, cv::Rect(w / 3, int(at * h), w / 3, std::max(2, h / 16)), body * 0.7,
                      cv::FILLED);
    cv::rectangle(sprite, cv::Rect(2, h / 6, std::max(2, w / 8), 2 * h / 3), AnyColour(rng, 0, 256),
                  cv::FILLED);
    cv::rectangle(sprite, cv::Rect(0, 0, w, h), body * 0.5, 2);
}

/* A motorbike from above: a narrow body between two tyres, the rider's helmet and the handlebar. */
void DrawMotorbike(cv::Mat& sprite, cv::Mat& mask, const cv::Scalar& body, bool up, cv::RNG& rng)
{
    const int w = sprite.cols, h = sprite.rows;
    FillTextured(sprite, body, 12.0, rng);
    mask = cv::Mat::zeros(sprite.size(), CV_8U);
    const cv::Point middle(w / 2, h / 2);
    cv::ellipse(mask, middle, cv::Size(std::max(1, w / 2), std::max(1, h / 2)), 0, 0, 360, cv::Scalar(255),
                cv::FILLED);
    const cv::Scalar tyre(30, 30, 30);
    cv::rectangle(sprite, cv::Rect(w / 3, 0, std::max(1, w / 3), h / 7), tyre, cv::FILLED);
    cv::rectangle(sprite, cv::Rect(w / 3, h - h / 7, std::max(1, w / 3), h / 7), tyre, cv::FILLED);
    const int bar = up ? h / 4 : h - h / 4;
    cv::line(sprite, cv::Point(0, bar), cv::Point(w - 1, bar), cv::Scalar(60, 60, 60), std::max(1, h / 30));
    cv::circle(sprite, cv::Point(w / 2, up ? h * 11 / 20 : h * 9 / 20), std::max(1, w * 7 / 20),
               AnyColour(rng, 20, 236), cv::FILLED);
}

/* A person as a traffic camera sees one standing: head, body and legs, three times as tall as wide. */
void DrawPerson(cv::Mat& sprite, cv::Mat& mask, const cv::Scalar& clothes, cv::RNG& rng)
{
    const int w = sprite.cols, h = sprite.rows;
    FillTextured(sprite, clothes, 16.0, rng);
    mask = cv::Mat::zeros(sprite.size(), CV_8U);
    const int head = std::max(1, w * 3 / 10);
    const int waist = h * 31 / 50;
    cv::circle(mask, cv::Point(w / 2, head), head, cv::Scalar(255), cv::FILLED);
    cv::rectangle(mask, cv::Rect(w / 10, head * 2, w - w / 5, waist - head * 2), cv::Scalar(255), cv::FILLED);
    cv::rectangle(mask, cv::Rect(w * 9 / 50, waist, w * 27 / 100, h - waist), cv::Scalar(255), cv::FILLED);
    cv::rectangle(mask, cv::Rect(w * 55 / 100, waist, w * 27 / 100, h - waist), cv::Scalar(255), cv::FILLED);
    static const cv::Scalar skins[] = {{150, 180, 225}, {110, 140, 190}, {70, 95, 140}, {45, 60, 90}};
    cv::circle(sprite, cv::Point(w / 2, head), head, skins[rng.uniform(0, 4)], cv::FILLED);
    cv::ellipse(sprite, cv::Point(w / 2, head * 2 / 3), cv::Size(head, std::max(1, head * 2 / 3)), 0, 180,
                360, AnyColour(rng, 10, 120), cv::FILLED);
    cv::rectangle(sprite, cv::Rect(0, waist, w, h - waist), AnyColour(rng, 20, 180), cv::FILLED);
    cv::rectangle(sprite, cv::Rect(w / 5, head * 2 + h / 12, w * 3 / 5, std::max(1, h / 14)),
                  AnyColour(rng, 0, 256), cv::FILLED);
}

/* A cyclist from above: two narrow tyres in line, the rider's back and helmet between them. */
void DrawCyclist(cv::Mat& sprite, cv::Mat& mask, const cv::Scalar& jersey, bool up, cv::RNG& rng)
{
    const int w = sprite.cols, h = sprite.rows;
    FillTextured(sprite, jersey, 14.0, rng);
    mask = cv::Mat::zeros(sprite.size(), CV_8U);
    const cv::Size tyre(std::max(1, w / 8), std::max(1, h * 4 / 25));
    for (const int y : {tyre.height, h - 1 - tyre.height}) {
        cv::ellipse(mask, cv::Point(w / 2, y), tyre, 0, 0, 360, cv::Scalar(255), cv::FILLED);
        cv::ellipse(sprite, cv::Point(w / 2, y), tyre, 0, 0, 360, cv::Scalar(35, 35, 35), cv::FILLED);
    }
    const cv::Point middle(w / 2, h / 2);
    cv::ellipse(mask, middle, cv::Size(std::max(1, w * 9 / 20), std::max(1, h / 5)), 0, 0, 360,
                cv::Scalar(255), cv::FILLED);
    cv::circle(sprite, cv::Point(w / 2, up ? h * 2 / 5 : h * 3 / 5), std::max(1, w * 7 / 25),
               AnyColour(rng, 20, 236), cv::FILLED);
}

} // namespace

void FillTextured(cv::Mat& image, const cv::Scalar& colour, double sigma, cv::RNG& rng)
{
    if (image.empty())
        return;
    cv::Mat texture(image.size(), CV_16SC3);
    rng.fill(texture, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(sigma));
    cv::GaussianBlur(texture, texture, cv::Size(3, 3), 0.8);
    cv::Mat base(image.size(), CV_16SC3, colour);
    cv::Mat sum = base + texture;
    sum.convertTo(image, CV_8UC3);
}

void DrawRoadUser(ObjectKind kind, cv::Mat& sprite, cv::Mat& mask, const cv::Scalar& colour, bool up,
                  cv::RNG& rng)
{
    switch (kind) {
    case ObjectKind::Bus:
        DrawBus(sprite, mask, colour, up, rng);
        break;
    case ObjectKind::Motorbike:
        DrawMotorbike(sprite, mask, colour, up, rng);
        break;
    case ObjectKind::Person:
        DrawPerson(sprite, mask, colour, rng);
        break;
    case ObjectKind::Cyclist:
        DrawCyclist(sprite, mask, colour, up, rng);
        break;
    default:
        DrawVehicle(sprite, mask, colour, up, rng);
    }
}

void DrawBridge(cv::Mat& picture, cv::RNG& rng)
{
    FillTextured(picture, cv::Scalar(150, 152, 150), 10.0, rng);
    const int parapet = std::max(2, picture.rows / 8);
    const cv::Scalar edge(100, 104, 106);
    cv::rectangle(picture, cv::Rect(0, 0, picture.cols, parapet), edge, cv::FILLED);
    cv::rectangle(picture, cv::Rect(0, picture.rows - parapet, picture.cols, parapet), edge, cv::FILLED);
    const int spacing = std::max(8, picture.rows * 3 / 2);
    for (int x = rng.uniform(0, spacing); x < picture.cols; x += spacing)
        cv::line(picture, cv::Point(x, parapet), cv::Point(x, picture.rows - parapet), cv::Scalar(95, 95, 95),
                 2);
}

void DrawTreeCrown(cv::Mat& picture, cv::Mat& mask, cv::RNG& rng)
{
    FillTextured(picture, cv::Scalar(40, 100, 45), 22.0, rng);
    mask = cv::Mat::zeros(picture.size(), CV_8U);
    const int size = std::min(picture.cols, picture.rows);
    const cv::Point middle(picture.cols / 2, picture.rows / 2);
    // Clumps around the middle, each wholly inside the picture: its radius plus its distance from the
    // middle stay within half the size.
    for (int i = 0; i < 7; ++i) {
        const int radius = std::max(1, int(size * rng.uniform(0.25, 0.33)));
        const int reach = std::max(0, size / 2 - radius - 1);
        const cv::Point c =
            middle + cv::Point(rng.uniform(-reach, reach + 1), rng.uniform(-reach, reach + 1));
        cv::circle(mask, c, radius, cv::Scalar(255), cv::FILLED);
        cv::circle(picture, c + cv::Point(radius / 4, radius / 4), std::max(1, radius / 2),
                   cv::Scalar(28, 72, 32), cv::FILLED);
    }
}
