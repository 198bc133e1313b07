#include "Texture.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

cv::Mat MakeTexture(int width, int height, uint64_t seed)
{
    cv::RNG rng(seed);
    cv::Mat texture(height, width, CV_8UC1, cv::Scalar(rng.uniform(60, 200)));
    const int shapes = width * height / 150;
    for (int i = 0; i < shapes; i++) {
        const cv::Point centre(rng.uniform(0, width), rng.uniform(0, height));
        const int size = rng.uniform(2, std::max(3, std::min(width, height) / 4));
        const cv::Scalar grey(rng.uniform(0, 256));
        if (rng.uniform(0, 2) == 0)
            cv::circle(texture, centre, size / 2, grey, cv::FILLED);
        else
            cv::rectangle(texture, cv::Rect(centre.x, centre.y, size, rng.uniform(2, size + 1)), grey,
                          cv::FILLED);
    }
    cv::GaussianBlur(texture, texture, cv::Size(3, 3), 0.8);
    return texture;
}
