// Drawing ground truth on its frames: frame sheets with a grid, and strips of one person's boxes.

#include "TruthPictures.h"

#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <string>

namespace {

/* Tile size of a person strip: a person fills most of the height, a walking stride fits the width. */
const int TILE_WIDTH = 140;
const int TILE_HEIGHT = 200;
const int CAPTION_HEIGHT = 14;

/* A colour of its own for each of the first ids, bright on a grey street. */
cv::Scalar IdColour(int id)
{
    static const cv::Scalar colours[] = {{0, 0, 255},   {0, 255, 0},   {255, 0, 0},   {0, 255, 255},
                                         {255, 0, 255}, {255, 255, 0}, {0, 128, 255}, {255, 128, 0},
                                         {128, 0, 255}, {0, 255, 128}, {128, 255, 0}, {255, 0, 128}};
    return colours[(id - 1) % (sizeof colours / sizeof colours[0])];
}

/* The grid lines every view.grid pixels of the frame across the area shown, every fifth brighter and
   labelled with its coordinate; vertical lines when columns is true. */
void DrawGridLines(cv::Mat& picture, const SheetView& view, bool columns)
{
    const int origin = columns ? view.crop.x : view.crop.y;
    const int length = columns ? view.crop.width : view.crop.height;
    for (int v = (origin + view.grid - 1) / view.grid * view.grid; v <= origin + length; v += view.grid) {
        const bool major = v % (view.grid * 5) == 0;
        const int p = cvRound((v - origin) * view.scale);
        const cv::Scalar colour = major ? cv::Scalar(0, 220, 220) : cv::Scalar(0, 110, 110);
        cv::line(picture, columns ? cv::Point(p, 0) : cv::Point(0, p),
                 columns ? cv::Point(p, picture.rows) : cv::Point(picture.cols, p), colour);
        if (major)
            cv::putText(picture, std::to_string(v), columns ? cv::Point(p + 2, 10) : cv::Point(2, p - 2),
                        cv::FONT_HERSHEY_PLAIN, 0.8, {0, 255, 255});
    }
}

/* The rectangle just outside box, for a picture that shows the frame from origin enlarged scale times. */
cv::Rect Outline(const cv::Rect2d& box, cv::Point2d origin, double scale)
{
    const cv::Point topLeft(cvRound((box.x - origin.x) * scale) - 1, cvRound((box.y - origin.y) * scale) - 1);
    const cv::Point bottomRight(cvRound((box.br().x - origin.x) * scale), cvRound((box.br().y - origin.y) * scale));
    return cv::Rect(topLeft, bottomRight + cv::Point(1, 1));
}

/* The id of b, and its visibility in percent when below 1. */
std::string Label(const TruthBox& b)
{
    std::string label = std::to_string(b.id);
    if (b.visibility < 1)
        label += " v" + std::to_string(cvRound(b.visibility * 100)) + "%";
    return label;
}

} // namespace

cv::Mat DrawFrameSheet(const cv::Mat& frame, int number, const SheetView& view, const std::vector<TruthBox>& boxes)
{
    cv::Mat picture;
    // Whole pixels stay square blocks when enlarged, so that a box edge can be set on a pixel.
    cv::resize(frame(view.crop), picture, cv::Size(), view.scale, view.scale,
               view.scale > 1 ? cv::INTER_NEAREST : cv::INTER_AREA);
    if (view.grid > 0) {
        DrawGridLines(picture, view, true);
        DrawGridLines(picture, view, false);
    }
    for (const TruthBox& b : boxes) {
        const cv::Scalar colour = b.flag ? IdColour(b.id) : cv::Scalar(160, 160, 160);
        const cv::Rect outline = Outline(b.box, view.crop.tl(), view.scale);
        cv::rectangle(picture, outline, colour, 1);
        cv::putText(picture, Label(b), {outline.x, outline.y - 3}, cv::FONT_HERSHEY_PLAIN, 1.0, colour, 1);
    }
    cv::putText(picture, "frame " + std::to_string(number), {4, picture.rows - 6}, cv::FONT_HERSHEY_PLAIN, 1.2,
                {255, 255, 255}, 1);
    return picture;
}

cv::Mat DrawStripTile(const cv::Mat& frame, const TruthBox& box)
{
    // The box with a margin fills the tile's height; the tile's centre is the box's centre.
    const double scale = TILE_HEIGHT / (box.box.height + 24);
    const cv::Point2d centre = (box.box.tl() + box.box.br()) * 0.5;
    const cv::Point2d origin = centre - cv::Point2d(TILE_WIDTH, TILE_HEIGHT) * (0.5 / scale);
    const cv::Mat toTile = (cv::Mat_<double>(2, 3) << scale, 0, -origin.x * scale, 0, scale, -origin.y * scale);
    cv::Mat tile(TILE_HEIGHT + CAPTION_HEIGHT, TILE_WIDTH, CV_8UC3, cv::Scalar(40, 40, 40));
    cv::Mat picture = tile(cv::Rect(0, 0, TILE_WIDTH, TILE_HEIGHT));
    cv::warpAffine(frame, picture, toTile, picture.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT);
    cv::rectangle(picture, Outline(box.box, origin, scale), box.flag ? cv::Scalar(0, 0, 255) : cv::Scalar(160, 160, 160));
    char caption[64];
    std::snprintf(caption, sizeof caption, "%d v%.2f", box.frame, box.visibility);
    cv::putText(tile, caption, {3, TILE_HEIGHT + CAPTION_HEIGHT - 3}, cv::FONT_HERSHEY_PLAIN, 0.9, {255, 255, 255});
    return tile;
}

cv::Mat LayOutTiles(const std::vector<cv::Mat>& tiles, int columns)
{
    if (tiles.empty())
        return cv::Mat();
    const cv::Size size = tiles[0].size();
    const int rows = (int(tiles.size()) + columns - 1) / columns;
    cv::Mat sheet(rows * size.height, columns * size.width, CV_8UC3, cv::Scalar(40, 40, 40));
    for (std::size_t k = 0; k < tiles.size(); ++k)
        tiles[k].copyTo(sheet(cv::Rect(int(k) % columns * size.width, int(k) / columns * size.height,
                                       size.width, size.height)));
    return sheet;
}
