#include "SyntheticFrames.h"

#include <opencv2/imgproc.hpp>

cv::Mat MakeStreetFrame(int width, int height, uint64_t seed)
{
    cv::RNG rng(seed);
    cv::Mat frame(height, width, CV_8UC3);
    for (int y = 0; y < height; y++)
        frame.row(y).setTo(cv::Scalar::all(60 + 80 * y / height));

    // Low-contrast blotches, blurred into a texture like tarmac and verges.
    for (int i = 0; i < width * height / 2000; i++) {
        cv::Point centre(rng.uniform(0, width), rng.uniform(0, height));
        cv::Size axes(rng.uniform(3, 40), rng.uniform(3, 40));
        int shade = rng.uniform(-30, 30);
        cv::ellipse(frame, centre, axes, rng.uniform(0, 180), 0, 360,
                    cv::Scalar::all(100 + shade) + cv::Scalar(rng.uniform(-10, 10), 0, 0), cv::FILLED);
    }
    cv::GaussianBlur(frame, frame, cv::Size(7, 7), 2.0);

    for (int i = 0; i < 4; i++) {
        int x = width * (i + 1) / 5;
        for (int y = 0; y < height; y += 60)
            cv::rectangle(frame, cv::Rect(x, y, 6, 30), cv::Scalar::all(220), cv::FILLED);
    }
    for (int i = 0; i < 14; i++) {
        cv::Point2f centre(rng.uniform(40.f, width - 40.f), rng.uniform(40.f, height - 40.f));
        cv::Scalar colour(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256));
        int kind = i % 7;
        if (kind < 4) {
            cv::RotatedRect box(centre, cv::Size2f(rng.uniform(25.f, 90.f), rng.uniform(25.f, 70.f)),
                                kind == 0 ? 0.f : rng.uniform(-40.f, 40.f));
            cv::Point2f p[4];
            box.points(p);
            cv::Point q[4];
            for (int k = 0; k < 4; k++)
                q[k] = p[k];
            cv::fillConvexPoly(frame, q, 4, colour, cv::LINE_AA);
        } else if (kind == 4) {
            cv::Point q[3] = {cv::Point(centre) + cv::Point(-30, 20), cv::Point(centre) + cv::Point(30, 25),
                              cv::Point(centre) + cv::Point(rng.uniform(-20, 20), -35)};
            cv::fillConvexPoly(frame, q, 3, colour, cv::LINE_AA);
        } else if (kind == 5) {
            cv::circle(frame, centre, rng.uniform(10, 35), colour, cv::FILLED, cv::LINE_AA);
        } else {
            cv::line(frame, centre, centre + cv::Point2f(rng.uniform(-90.f, 90.f), rng.uniform(-90.f, 90.f)),
                     colour, rng.uniform(1, 5), cv::LINE_AA);
        }
    }

    cv::Mat noise(height, width, CV_16SC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 6);
    cv::Mat wide;
    frame.convertTo(wide, CV_16SC3);
    wide += noise;
    wide.convertTo(frame, CV_8UC3);
    return frame;
}
