#pragma once
// The video front-end that Lanescope and Quadfinder share: the video source, the display and grey images,
// the output writer, the window "Result" and the steps of the frame cycle; the command line that chooses
// the source is CommandLine's.
//
// A program's main routine owns one CvVideoFrontEnd for the whole run and calls, in order:
// StartVideoFrontEnd (or its five steps), its own set-up, CreateResultWindow, then per frame GrabFrame,
// CopyFrameToDisplay, its own analysis and drawing, ShowAndRecord and PollKey, and at the end
// ReleaseVideoFrontEnd. The display image holder is freed when the record itself goes out of scope.
// Without a window (no display, or a batch's run of one video) there is nothing to show and no key to wait
// for: the window, the showing and the key's wait are skipped, and the run goes at the speed of its work.

#include "CvImageHolder.h"
#include "VideoCapture.h"
#include "VideoWriter.h"

#include <opencv2/core/core_c.h>

/* Size of the argument and path buffers, terminating zero included. */
constexpr int CV_FE_TEXT_SIZE = 256;

/* Name of the one window both programs show their frames in. */
extern const char* const CV_FE_WINDOW_NAME;

/* The front-end state of one run. */
struct CvVideoFrontEnd
{
    char joinedArgs[CV_FE_TEXT_SIZE]; /* the arguments appended without separators, or the default video */
    char typedArg[CV_FE_TEXT_SIZE];   /* the first argument as typed, before it was lower-cased */
    char baseName[CV_FE_TEXT_SIZE];   /* joinedArgs up to the first ".avi"; empty for a camera */
    char inputPath[CV_FE_TEXT_SIZE];  /* baseName + ".avi", or that path as typed when only it exists */
    char outputPath[CV_FE_TEXT_SIZE]; /* baseName + "_out.avi" */
    bool defaultUsed;                 /* the help text was printed and the default video is played */
    bool writeResult;                 /* joinedArgs contains "/r": record the display image (when a writer is
                                         open) and write the data files */
    bool cameraSource;                /* the source is a capture device, not a file */
    int deviceNumber;                 /* the capture device's number, 0..9 */
    cvcompat::Capture* capture;       /* the open source */
    cvcompat::VideoWriter* writer;    /* the output video; null when not recording or when it failed */
    int frameWidth;                   /* width of every image made, in pixels */
    int frameHeight;                  /* height of every image made, in rows */
    double frameRate;                 /* frames per second handed to the writer */
    CvImageHolder displayImage;       /* 8-bit 3-channel upright frame that is drawn on, shown, recorded */
    IplImage* greyImage;              /* 8-bit 1-channel working image of the analysis */
    IplImage* frame;                  /* the last grabbed frame, owned by the capture */
    bool windowless; /* no display could be opened: frames are analysed and recorded without a window */
    cvcompat::ClosedVideo recording; /* what became of the output video once released; no name before */

    CvVideoFrontEnd();
    ~CvVideoFrontEnd();
    CvVideoFrontEnd(const CvVideoFrontEnd&) = delete;
    CvVideoFrontEnd& operator=(const CvVideoFrontEnd&) = delete;
};

/* Opens the parsed camera or file and learns the frame size and rate. A file is opened under its
   lower-cased name, or under its name as typed when only that one exists. False after printing the message
   of an early end, and for a file that exists a line on standard error saying why it could not be played. */
bool OpenVideoSource(CvVideoFrontEnd& frontEnd);

/* Makes the display image (8-bit, 3 channels) and the grey image (8-bit, 1 channel) of the frame size. */
void CreateFrontEndImages(CvVideoFrontEnd& frontEnd);

/* Sets windowless when no display can be opened, and then has the window made off screen, saying so on
   standard error. Must come before the window is made. */
void CheckDisplay(CvVideoFrontEnd& frontEnd);

/* Opens the output video when recording was asked for, falling back to the library's codec, after naming
   the recordings that earlier runs left unfinished under that name; a writer that cannot be opened leaves
   recording off, saying so on standard error. */
void OpenResultWriter(CvVideoFrontEnd& frontEnd);

/* ParseCommandLine, OpenVideoSource, CreateFrontEndImages, CheckDisplay and OpenResultWriter; false on an
   early end. */
bool StartVideoFrontEnd(CvVideoFrontEnd& frontEnd, int argc, char** argv, const char* helpText);

/* Opens the file inputPath for a run without a window whose data files and, with record, recording take
   the names outputBase + "_tracks.txt" and the like, as a run of "inputPath /r" names them after its base
   name. False when the file cannot be opened (a line on standard error when it exists) or a name does not
   fit the front-end's buffers. */
bool StartWindowlessVideo(CvVideoFrontEnd& frontEnd, const char* inputPath, const char* outputBase,
                          bool record);

/* Creates the resizable window "Result"; nothing for a run without a window. */
void CreateResultWindow(const CvVideoFrontEnd& frontEnd);

/* Grabs the next frame and turns it upside down in place; null at the end of the video. */
IplImage* GrabFrame(CvVideoFrontEnd& frontEnd);

/* Copies the current frame into the display image. */
void CopyFrameToDisplay(CvVideoFrontEnd& frontEnd);

/* Playback position of the current frame in milliseconds, as the capture reports it (CV_CAP_PROP_POS_MSEC).
 */
double GetFramePosition(const CvVideoFrontEnd& frontEnd);

/* Appends the display image to the output video when recording. */
void RecordDisplayImage(CvVideoFrontEnd& frontEnd);

/* Shows the display image in "Result" (not without a window), then records it. */
void ShowAndRecord(CvVideoFrontEnd& frontEnd);

/* Polls the keyboard for at most 10 ms; the key code, or -1 for none. Without a window no key can come:
   -1 at once. */
int PollKey(const CvVideoFrontEnd& frontEnd);

/* Releases the writer, the capture and the grey image, in this order; safe to call twice. A recording that
   does not hold every frame written, or could not be put in place under its name, is named on standard
   error with what became of it and of an older recording of that name. */
void ReleaseVideoFrontEnd(CvVideoFrontEnd& frontEnd);
