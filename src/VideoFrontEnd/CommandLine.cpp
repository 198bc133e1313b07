#include "CommandLine.h"

#include <cctype>
#include <cstdio>
#include <cstring>

const char* const CV_FE_DEFAULT_VIDEO = "TrafficTest1f1.avi";
const char* const CV_FE_LANESCOPE_HELP =
    "\n\n=== Lanescope help ===\n\nLanescope.exe [file.avi | 0..9] [/r ]\n"
    " 0..9 - capture device number\n /r   - write result in file_out.avi\n";
const char* const CV_FE_QUADFINDER_HELP =
    "\n\n=== Quadfinder help ===\n\nPalmaro.exe [file.avi | 0..9] [/r ]\n"
    " 0..9 - capture device number\n /r   - write result in file_out.avi\n";

static bool StartsWithDigit(const char* text)
{
    return std::isdigit(static_cast<unsigned char>(text[0])) != 0;
}

std::size_t BaseNameLength(const char* joined)
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
        std::snprintf(fe.typedArg, sizeof fe.typedArg, "%s", argv[1]);
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
