#include "VideoFrontEnd.h"

#include "CommandLine.h"
#include "OutputFiles.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/highgui/highgui_c.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

const char* const CV_FE_WINDOW_NAME = "Result";

/* The frame rate assumed for a camera, which reports none reliably. */
static const double CV_FE_CAMERA_FRAME_RATE = 12.0;

CvVideoFrontEnd::CvVideoFrontEnd()
    : joinedArgs{}, typedArg{}, baseName{}, inputPath{}, outputPath{}, defaultUsed(false), writeResult(false),
      cameraSource(false), deviceNumber(0), capture(nullptr), writer(nullptr), frameWidth(0), frameHeight(0),
      frameRate(0.0), displayImage(nullptr, CvImageHolder::HOLD_CLONE), greyImage(nullptr), frame(nullptr),
      windowless(false)
{
}

CvVideoFrontEnd::~CvVideoFrontEnd()
{
    ReleaseVideoFrontEnd(*this);
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
    fe.frameRate = CV_FE_CAMERA_FRAME_RATE;
    return true;
}

/* Lower-casing the first argument loses a file whose name holds capitals, as "Megamind.avi" or
   "~/Videos/clip.avi" do. When no file has the lower-cased name but one has the name as typed, that one is
   played and the recording named after it. */
static void PreferTypedName(CvVideoFrontEnd& fe, std::size_t baseLength)
{
    struct stat info;
    if (fe.defaultUsed || stat(fe.inputPath, &info) == 0 || (errno != ENOENT && errno != ENOTDIR))
        return;
    // The base name and its ".avi" lie inside the first argument, whose letters only changed case.
    char typedPath[CV_FE_TEXT_SIZE];
    std::snprintf(typedPath, sizeof typedPath, "%.*s", static_cast<int>(baseLength + 4), fe.typedArg);
    if (std::strcmp(typedPath, fe.inputPath) == 0 || stat(typedPath, &info) != 0)
        return;
    std::memcpy(fe.inputPath, typedPath, sizeof fe.inputPath);
    std::memcpy(fe.baseName, typedPath, baseLength);
}

/* A file that is there but cannot be played is named on standard error with the reason, beside the
   message that it cannot be found. */
static void ReportUnplayableFile(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0)
        return;
    const char* reason = !S_ISREG(info.st_mode)    ? "is not a regular file"
                         : access(path, R_OK) != 0 ? "cannot be read"
                                                   : "could not be decoded as a video";
    std::fflush(stdout);
    std::fprintf(stderr, "%s exists but %s; nothing was played.\n", path, reason);
}

/* Opens the file at inputPath and learns the frame size and rate; false when it cannot be played. */
static bool OpenFileCapture(CvVideoFrontEnd& fe)
{
    fe.capture = cvcompat::CreateFileCapture(fe.inputPath);
    if (!fe.capture)
        return false;
    cvcompat::SetCaptureProperty(fe.capture, CV_CAP_PROP_POS_AVI_RATIO, 1.0);
    cvcompat::SetCaptureProperty(fe.capture, CV_CAP_PROP_POS_AVI_RATIO, 0.0);
    fe.frameWidth = static_cast<int>(cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FRAME_WIDTH));
    fe.frameHeight = static_cast<int>(cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FRAME_HEIGHT));
    fe.frameRate = cvcompat::GetCaptureProperty(fe.capture, CV_CAP_PROP_FPS);
    // A file that opens without a frame size cannot be played: no image could be made for it.
    if (fe.frameWidth <= 0 || fe.frameHeight <= 0)
        cvcompat::ReleaseCapture(&fe.capture);
    return fe.capture != nullptr;
}

static bool OpenFile(CvVideoFrontEnd& fe)
{
    std::fputs("Processing avi file...\n", stdout);
    const std::size_t baseLength = BaseNameLength(fe.joinedArgs);
    std::memcpy(fe.baseName, fe.joinedArgs, baseLength);
    fe.baseName[baseLength] = '\0';
    // The base name ends where ".avi" begins, so the input path is never longer than the joined text.
    const int length = std::snprintf(fe.inputPath, sizeof fe.inputPath, "%s.avi", fe.baseName);
    if (length > 0 && length < static_cast<int>(sizeof fe.inputPath)) {
        PreferTypedName(fe, baseLength);
        OpenFileCapture(fe);
    }
    if (!fe.capture) {
        std::printf("Can't find file %s.avi\n", fe.baseName);
        ReportUnplayableFile(fe.inputPath);
        return false;
    }
    return true;
}

/* The first codec asked for, Cinepak, is one this platform's encoder refuses. What the video library
   prints about that refusal is no news to the user, so FFmpeg's own lines are kept quiet for a run that
   records, unless the user asked for them; OpenCV's lines are silenced around that one attempt. FFmpeg
   reads this setting once, at its first use: before the source is opened. */
static void QuietKnownCodecRefusal(const CvVideoFrontEnd& fe)
{
    if (fe.writeResult && !std::getenv("OPENCV_FFMPEG_DEBUG"))
        setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);
}

bool OpenVideoSource(CvVideoFrontEnd& fe)
{
    QuietKnownCodecRefusal(fe);
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
    ReportUnfinishedFiles(fe.outputPath);
    const CvSize size = cvSize(fe.frameWidth, fe.frameHeight);
    int failure = 0;
    const cv::utils::logging::LogLevel level =
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    fe.writer = cvcompat::CreateVideoWriter(fe.outputPath, cvcompat::FourCC('c', 'v', 'i', 'd'), fe.frameRate,
                                            size, 1, &failure);
    cv::utils::logging::setLogLevel(level);
    if (!fe.writer)
        fe.writer = cvcompat::CreateVideoWriter(fe.outputPath, -1, fe.frameRate, size, 1, &failure);
    if (!fe.writer) {
        std::fflush(stdout);
        if (failure)
            std::fprintf(stderr, "Cannot record to %s: %s; the run goes on without a recording.\n",
                         fe.outputPath, std::strerror(failure));
        else
            std::fprintf(
                stderr,
                "Cannot record to %s: the video encoder refuses %d x %d frames at %g per second; the "
                "run goes on without a recording.\n",
                fe.outputPath, fe.frameWidth, fe.frameHeight, fe.frameRate);
    }
}

bool StartVideoFrontEnd(CvVideoFrontEnd& fe, int argc, char** argv, const char* helpText)
{
    if (!ParseCommandLine(fe, argc, argv, helpText) || !OpenVideoSource(fe))
        return false;
    CreateFrontEndImages(fe);
    CheckDisplay(fe);
    OpenResultWriter(fe);
    return true;
}

bool StartWindowlessVideo(CvVideoFrontEnd& fe, const char* inputPath, const char* outputBase, bool record)
{
    // The longest name a run makes from the base is its recording's, "_out.avi".
    if (std::strlen(inputPath) >= sizeof fe.inputPath ||
        std::strlen(outputBase) + 8 >= sizeof fe.outputPath) {
        std::fprintf(stderr, "%s: the name is too long for a run (at most %d characters)\n", inputPath,
                     CV_FE_TEXT_SIZE - 9);
        return false;
    }
    std::snprintf(fe.inputPath, sizeof fe.inputPath, "%s", inputPath);
    std::snprintf(fe.baseName, sizeof fe.baseName, "%s", outputBase);
    std::snprintf(fe.outputPath, sizeof fe.outputPath, "%s_out.avi", outputBase);
    fe.windowless = true;
    // The data files are always written; the recording only when asked for.
    fe.writeResult = record;
    QuietKnownCodecRefusal(fe);
    if (!OpenFileCapture(fe)) {
        ReportUnplayableFile(fe.inputPath);
        return false;
    }
    CreateFrontEndImages(fe);
    OpenResultWriter(fe);
    fe.writeResult = true;
    return true;
}

void CreateResultWindow(const CvVideoFrontEnd& fe)
{
    if (!fe.windowless)
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
    if (!fe.windowless)
        cvShowImage(CV_FE_WINDOW_NAME, fe.displayImage.GetImage());
    RecordDisplayImage(fe);
}

int PollKey(const CvVideoFrontEnd& fe)
{
    return fe.windowless ? -1 : cvWaitKey(10);
}

/* Says on standard error what became of a recording that is not in place under its name. */
static void ReportClosedRecording(const CvVideoFrontEnd& fe)
{
    const cvcompat::ClosedVideo& video = fe.recording;
    std::fflush(stdout);
    if (!video.flaw.empty())
        std::fprintf(stderr, "The recording %s is incomplete (%llu frames written, but %s); %s.\n",
                     fe.outputPath, static_cast<unsigned long long>(video.frames), video.flaw.c_str(),
                     DescribeKeptFile(fe.outputPath, video.name, "this run's recording").c_str());
    else
        std::fprintf(stderr, "The recording could not be named %s (%s); it is kept as %s.\n", fe.outputPath,
                     std::strerror(video.renameError), video.name.c_str());
}

void ReleaseVideoFrontEnd(CvVideoFrontEnd& fe)
{
    if (fe.writeResult && fe.writer && !cvcompat::ReleaseVideoWriter(&fe.writer, &fe.recording))
        ReportClosedRecording(fe);
    cvcompat::ReleaseCapture(&fe.capture);
    fe.frame = nullptr;
    if (fe.greyImage)
        cvReleaseImage(&fe.greyImage);
}
