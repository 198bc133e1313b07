#include "VideoFrontEnd.h"

#include <opencv2/core.hpp>
#include <opencv2/highgui/highgui_c.h>

#include <cctype>
#include <cstdio>
#include <cstring>

const char* const CV_FE_WINDOW_NAME = "Result";
const char* const CV_FE_DEFAULT_VIDEO = "TrafficTest1f1.avi";
const char* const CV_FE_LANESCOPE_HELP =
    "\n\n=== Lanescope help ===\n\nLanescope.exe [file.avi | 0..9] [/r ]\n"
    " 0..9 - capture device number\n /r   - write result in file_out.avi\n";
const char* const CV_FE_QUADFINDER_HELP =
    "\n\n=== Quadfinder help ===\n\nPalmaro.exe [file.avi | 0..9] [/r ]\n"
    " 0..9 - capture device number\n /r   - write result in file_out.avi\n";

/* The frame rate assumed for a camera, which reports none reliably. */
static const double CAMERA_FRAME_RATE = 12.0;

CvVideoFrontEnd::CvVideoFrontEnd()
    : joinedArgs{}, baseName{}, inputPath{}, outputPath{}, defaultUsed(false), writeResult(false),
      cameraSource(false), deviceNumber(0), capture(nullptr), writer(nullptr), frameWidth(0), frameHeight(0),
      frameRate(0.0), displayImage(nullptr, CvImageHolder::HOLD_CLONE), greyImage(nullptr), frame(nullptr)
{
}

CvVideoFrontEnd::~CvVideoFrontEnd()
{
    ReleaseVideoFrontEnd(*this);
}

static bool StartsWithDigit(const char* text)
{
    return std::isdigit(static_cast<unsigned char>(text[0])) != 0;
}

/* Length of the base name: the joined text up to its first ".avi", or all of it. */
static std::size_t BaseNameLength(const char* joined)
{
    const char* avi = std::strstr(joined, ".avi");
    return avi ? static_cast<std::size_t>(avi - joined) : std::strlen(joined);
}

static void RefuseLongCommandLine()
{
    std::printf("Command line too long: the arguments may hold at most %d characters.\n",
                CV_FE_TEXT_SIZE - 1);
}

bool ParseCommandLine(CvVideoFrontEnd& fe, int argc, char** argv, const char* helpText)
{
    std::memset(fe.joinedArgs, 0, sizeof fe.joinedArgs);
    fe.defaultUsed = false;
    fe.cameraSource = false;
    fe.deviceNumber = 0;

    if (argc <= 1 || (argc == 2 && std::strstr(argv[1], "/?"))) {
        std::fputs(helpText, stdout);
        std::snprintf(fe.joinedArgs, sizeof fe.joinedArgs, "%s", CV_FE_DEFAULT_VIDEO);
        fe.defaultUsed = true;
    } else {
        for (char* c = argv[1]; *c; ++c)
            if (*c >= 'A' && *c <= 'Z')
                *c = static_cast<char>(*c - 'A' + 'a');
        if (!std::strstr(argv[1], ".avi") && !StartsWithDigit(argv[1])) {
            std::fputs("AVI files are processing only!\n\n", stdout);
            return false;
        }
        // The buffers hold 255 characters; a longer command line is refused rather than cut, since a cut
        // one would silently name another file.
        std::size_t length = 0;
        for (int i = 1; i < argc; ++i)
            length += std::strlen(argv[i]);
        if (length >= sizeof fe.joinedArgs) {
            RefuseLongCommandLine();
            return false;
        }
        for (int i = 1; i < argc; ++i)
            std::strcat(fe.joinedArgs, argv[i]);
    }

    std::memset(fe.baseName, 0, sizeof fe.baseName);
    fe.writeResult = std::strstr(fe.joinedArgs, "/r") != nullptr;
    fe.cameraSource = !fe.defaultUsed && StartsWithDigit(argv[1]);
    if (fe.cameraSource)
        fe.deviceNumber = argc == 2 ? argv[1][0] - '0' : 0;

    // The output path adds "_out.avi" to the base name, which may then no longer fit its buffer.
    if (fe.writeResult && !fe.cameraSource) {
        if (BaseNameLength(fe.joinedArgs) + std::strlen("_out.avi") >= sizeof fe.outputPath) {
            RefuseLongCommandLine();
            return false;
        }
    }
    return true;
}

static bool OpenCamera(CvVideoFrontEnd& fe)
{
    std::fputs("Processing capture...\n", stdout);
    fe.capture = cvcompat::CreateCameraCapture(fe.deviceNumber);
    // A device that opens but delivers no frame has no size to make the images from: it counts as failed.
    IplImage* first = fe.capture ? cvcompat::QueryFrame(fe.capture) : nullptr;
    if (!first) {
        cvcompat::ReleaseCapture(&fe.capture);
        std::fflush(stdout);
        std::fputs("Could not initialize capturing...\n", stderr);
        return false;
    }
    fe.frameWidth = first->width;
    fe.frameHeight = first->height;
    fe.frameRate = CAMERA_FRAME_RATE;
    return true;
}

static bool OpenFile(CvVideoFrontEnd& fe)
{
    std::fputs("Processing avi file...\n", stdout);
    const std::size_t baseLength = BaseNameLength(fe.joinedArgs);
    std::memcpy(fe.baseName, fe.joinedArgs, baseLength);
    fe.baseName[baseLength] = '\0';
    // The base name ends where ".avi" begins, so the input path is never longer than the joined text.
    const int length = std::snprintf(fe.inputPath, sizeof fe.inputPath, "%s.avi", fe.baseName);
    if (length > 0 && length < static_cast<int>(sizeof fe.inputPath))
        fe.capture = cvcompat::CreateFileCapture(fe.inputPath);
    if (fe.capture) {
        cvcompat::SetCaptureProperty(fe.capture, CV_CAP_PROP_POS_AVI_RATIO, 1.0);
        cvcompat::SetCaptureProperty(fe.capture, CV_CAP_PROP_POS_AVI_RATIO, 0.0);
        fe.frameWidth = static_cast<int>(cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FRAME_WIDTH));
        fe.frameHeight = static_cast<int>(cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FRAME_HEIGHT));
        fe.frameRate = cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FPS);
        // A file that opens without a frame size cannot be played: no image could be made for it.
        if (fe.frameWidth <= 0 || fe.frameHeight <= 0)
            cvcompat::ReleaseCapture(&fe.capture);
    }
    if (!fe.capture) {
        std::printf("Can't find file %s.avi\n", fe.baseName);
        return false;
    }
    return true;
}

bool OpenVideoSource(CvVideoFrontEnd& fe)
{
    return fe.cameraSource ? OpenCamera(fe) : OpenFile(fe);
}

void CreateFrontEndImages(CvVideoFrontEnd& fe)
{
    const CvSize size = cvSize(fe.frameWidth, fe.frameHeight);
    fe.displayImage.Create(size, IPL_DEPTH_8U, 3);
    fe.greyImage = cvCreateImage(size, IPL_DEPTH_8U, 1);
}

void OpenResultWriter(CvVideoFrontEnd& fe)
{
    if (!fe.writeResult)
        return;
    const int length = std::snprintf(fe.outputPath, sizeof fe.outputPath, "%s_out.avi", fe.baseName);
    if (length < 0 || length >= static_cast<int>(sizeof fe.outputPath))
        return;
    const CvSize size = cvSize(fe.frameWidth, fe.frameHeight);
    fe.writer = cvcompat::CreateVideoWriter(fe.outputPath, cvcompat::FourCC('c', 'v', 'i', 'd'), fe.frameRate,
                                            size, 1);
    if (!fe.writer)
        fe.writer = cvcompat::CreateVideoWriter(fe.outputPath, -1, fe.frameRate, size, 1);
}

bool StartVideoFrontEnd(CvVideoFrontEnd& fe, int argc, char** argv, const char* helpText)
{
    if (!ParseCommandLine(fe, argc, argv, helpText) || !OpenVideoSource(fe))
        return false;
    CreateFrontEndImages(fe);
    OpenResultWriter(fe);
    return true;
}

void CreateResultWindow()
{
    cvNamedWindow(CV_FE_WINDOW_NAME, 0);
}

IplImage* GrabFrame(CvVideoFrontEnd& fe)
{
    fe.frame = cvcompat::QueryFrame(fe.capture);
    if (!fe.frame)
        return nullptr;
    // Every image the programs make has the size of the first frames; a stream that changes its frame size
    // midway cannot be copied into them, so it ends there as if the video had ended.
    if (fe.frame->width != fe.frameWidth || fe.frame->height != fe.frameHeight) {
        fe.frame = nullptr;
        return nullptr;
    }
    cvFlip(fe.frame, nullptr, 0);
    return fe.frame;
}

void CopyFrameToDisplay(CvVideoFrontEnd& fe)
{
    cvCopy(fe.frame, fe.displayImage.GetImage(), nullptr);
}

double GetFramePosition(const CvVideoFrontEnd& fe)
{
    return cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_POS_MSEC);
}

void RecordDisplayImage(CvVideoFrontEnd& fe)
{
    if (fe.writeResult)
        cvcompat::WriteFrame(fe.writer, fe.displayImage.GetImage());
}

void ShowAndRecord(CvVideoFrontEnd& fe)
{
    cvShowImage(CV_FE_WINDOW_NAME, fe.displayImage.GetImage());
    RecordDisplayImage(fe);
}

int PollKey()
{
    return cvWaitKey(10);
}

void ReleaseVideoFrontEnd(CvVideoFrontEnd& fe)
{
    if (fe.writeResult)
        cvcompat::ReleaseVideoWriter(&fe.writer);
    cvcompat::ReleaseCapture(&fe.capture);
    fe.frame = nullptr;
    if (fe.greyImage)
        cvReleaseImage(&fe.greyImage);
}
