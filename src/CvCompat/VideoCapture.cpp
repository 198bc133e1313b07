#include "VideoCapture.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cstring>
#include <string>

namespace cvcompat {

struct Capture
{
    cv::VideoCapture source; /* the decoder */
    cv::Mat decoded;         /* the last frame as the decoder gave it */
    cv::Mat colour;          /* the last frame as 8-bit BGR when the decoder gave another format */
    IplImage header;         /* the header handed out by QueryFrame, over decoded or colour */
};

std::string FileUrl(const char* path)
{
    // FFmpeg reads "name:" at the start of a path as a protocol ("c:\\clip.avi" would be protocol "c");
    // its "file:" protocol takes the rest as a plain file path.
    return std::strchr(path, ':') ? std::string("file:") + path : std::string(path);
}

static Capture* Adopt(cv::VideoCapture& source)
{
    if (!source.isOpened())
        return nullptr;
    Capture* capture = new Capture;
    capture->source = std::move(source);
    return capture;
}

Capture* CreateFileCapture(const char* path)
{
    if (!path)
        return nullptr;
    try {
        // FFmpeg reads every AVI the programs meet; letting other back-ends guess only adds their noise.
        cv::VideoCapture source(FileUrl(path), cv::CAP_FFMPEG);
        return Adopt(source);
    } catch (const cv::Exception&) {
        return nullptr;
    }
}

Capture* CreateCameraCapture(int index)
{
    try {
        // Devices 0..9 are the Video4Linux devices; other back-ends probe USB cameras and only add delay.
        cv::VideoCapture source(index, cv::CAP_V4L2);
        return Adopt(source);
    } catch (const cv::Exception&) {
        return nullptr;
    }
}

IplImage* QueryFrame(Capture* capture)
{
    if (!capture)
        return nullptr;
    try {
        if (!capture->source.read(capture->decoded) || capture->decoded.empty())
            return nullptr;
        cv::Mat* frame = &capture->decoded;
        // The programs work on 8-bit BGR frames only; a grey or 4-channel source is made to look like one.
        if (frame->type() != CV_8UC3) {
            cv::Mat eightBit;
            if (frame->depth() != CV_8U)
                frame->convertTo(eightBit, CV_8U);
            else
                eightBit = *frame;
            if (eightBit.channels() == 1)
                cv::cvtColor(eightBit, capture->colour, cv::COLOR_GRAY2BGR);
            else if (eightBit.channels() == 4)
                cv::cvtColor(eightBit, capture->colour, cv::COLOR_BGRA2BGR);
            else if (eightBit.channels() == 3)
                capture->colour = eightBit;
            else
                return nullptr;
            frame = &capture->colour;
        }
        capture->header = cvIplImage(*frame);
        return &capture->header;
    } catch (const cv::Exception&) {
        return nullptr;
    }
}

double GetCaptureProperty(Capture* capture, int propertyId)
{
    if (!capture)
        return 0.0;
    try {
        return capture->source.get(propertyId);
    } catch (const cv::Exception&) {
        return 0.0;
    }
}

int SetCaptureProperty(Capture* capture, int propertyId, double value)
{
    if (!capture)
        return 0;
    try {
        return capture->source.set(propertyId, value) ? 1 : 0;
    } catch (const cv::Exception&) {
        return 0;
    }
}

void ReleaseCapture(Capture** capture)
{
    if (!capture || !*capture)
        return;
    delete *capture;
    *capture = nullptr;
}

} // namespace cvcompat
