#include "CvImageHolder.h"

#include "ImageFile.h"

#include <algorithm>
#include <cstdint>
#include <opencv2/core.hpp>

CvImageHolder::CvImageHolder(IplImage* image_, int mode_) : image(nullptr), mode(HOLD_CLONE)
{
    Assign(image_, mode_);
}

CvImageHolder::CvImageHolder(const CvImageHolder& other) : image(nullptr), mode(HOLD_CLONE)
{
    Assign(other.image, other.mode);
}

CvImageHolder& CvImageHolder::operator=(const CvImageHolder& other)
{
    Assign(other.image, other.mode);
    return *this;
}

CvImageHolder::~CvImageHolder()
{
    Release();
}

bool CvImageHolder::Assign(IplImage* source, int newMode)
{
    const bool owned = image && (mode == HOLD_CLONE || mode == HOLD_BLANK);
    // Attaching the very image this holder owns would release it and keep a dangling reference; the holder
    // keeps it, and keeps owning it, instead.
    if (source && source == image && owned && newMode == HOLD_ATTACH)
        return true;

    // The new image is made before the old one is released, so that assigning a holder to itself, or the
    // image it owns, copies that image while it still exists.
    IplImage* made = nullptr;
    if (source) {
        try {
            if (newMode == HOLD_CLONE) {
                made = cvCloneImage(source);
            } else if (newMode == HOLD_ATTACH) {
                made = source;
            } else if (newMode == HOLD_BLANK) {
                made = cvCloneImage(source);
                if (made)
                    cvSetZero(made);
            }
        } catch (const cv::Exception&) {
            made = nullptr;
        }
    }
    Release();
    mode = newMode;
    image = made;
    return image != nullptr;
}

bool CvImageHolder::Create(CvSize size, int depth, int channels)
{
    Release();
    mode = HOLD_CLONE;
    try {
        image = cvCreateImage(size, depth, channels);
    } catch (const cv::Exception&) {
        image = nullptr;
    }
    return image != nullptr;
}

bool CvImageHolder::Load(const char* fileName)
{
    Release();
    mode = HOLD_CLONE;
    image = cvcompat::LoadImage(fileName, cvcompat::LOAD_IMAGE_COLOR);
    return image != nullptr;
}

int CvImageHolder::Save(const char* fileName) const
{
    if (!image)
        return 0;
    return cvcompat::SaveImage(fileName, image);
}

void CvImageHolder::Release()
{
    if (image && (mode == HOLD_CLONE || mode == HOLD_BLANK))
        cvReleaseImage(&image);
    image = nullptr;
}

unsigned char* CvImageHolder::PixelPtr(int x, int y, int channels) const
{
    if (!image || !image->imageDataOrigin || image->nChannels != channels)
        return nullptr;
    if (x < 0 || x >= image->width || y < 0 || y >= image->height)
        return nullptr;
    // address = origin + y * widthStep + channels * x
    return reinterpret_cast<unsigned char*>(image->imageDataOrigin) +
           static_cast<std::ptrdiff_t>(y) * image->widthStep + static_cast<std::ptrdiff_t>(channels) * x;
}

unsigned char* CvImageHolder::PixelPtrC3(int x, int y) const
{
    return PixelPtr(x, y, 3);
}

CvPixelC3 CvImageHolder::GetPixelC3(int x, int y) const
{
    const unsigned char* p = PixelPtrC3(x, y);
    if (!p)
        return CvPixelC3{0, 0, 0};
    return CvPixelC3{p[0], p[1], p[2]};
}

void CvImageHolder::SetPixelC3(int x, int y, CvPixelC3 value)
{
    unsigned char* p = PixelPtrC3(x, y);
    if (!p)
        return;
    p[0] = value.c0;
    p[1] = value.c1;
    p[2] = value.c2;
}

unsigned char* CvImageHolder::PixelPtrC1(int x, int y) const
{
    return PixelPtr(x, y, 1);
}

unsigned char CvImageHolder::GetPixelC1(int x, int y) const
{
    const unsigned char* p = PixelPtrC1(x, y);
    return p ? *p : 0;
}

void CvImageHolder::SetPixelC1(int x, int y, unsigned char value)
{
    unsigned char* p = PixelPtrC1(x, y);
    if (p)
        *p = value;
}

void CvImageHolder::FillRectC1(int x, int y, int width, int rows, unsigned char value)
{
    if (!image || !image->imageDataOrigin || image->nChannels != 1)
        return;
    // A rectangle reaching outside the image is clipped to it: writing past the pixel buffer is never wanted.
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, image->width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + rows, image->height);
    if (left >= right || top >= bottom)
        return;
    unsigned char* origin = reinterpret_cast<unsigned char*>(image->imageDataOrigin);
    for (std::int64_t row = top; row < bottom; ++row)
        std::fill_n(origin + row * image->widthStep + left, right - left, value);
}
