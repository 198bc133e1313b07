// Any bytes as a command line: the input is cut at its zero bytes into arguments (the first byte chooses
// the program's help text) and parsed; the buffers stay terminated and every accepted source fits its paths.
#include "CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

/* Stops the process (a finding for libFuzzer) when a condition that must hold does not. */
void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "command line check failed: %s\n", what);
        std::abort();
    }
}

bool Terminated(const char (&text)[CV_FE_TEXT_SIZE])
{
    return std::memchr(text, '\0', sizeof text) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const char* help = (data[0] & 1) ? CV_FE_QUADFINDER_HELP : CV_FE_LANESCOPE_HELP;
    // Each argument in its own heap block, so that a read or write past its end is caught.
    std::vector<std::vector<char>> words;
    words.emplace_back(std::vector<char>{'x', '\0'});
    const char* begin = reinterpret_cast<const char*>(data + 1);
    const char* end = reinterpret_cast<const char*>(data + size);
    while (begin < end) {
        const char* zero =
            static_cast<const char*>(std::memchr(begin, '\0', static_cast<size_t>(end - begin)));
        const char* stop = zero ? zero : end;
        words.emplace_back(begin, stop);
        words.back().push_back('\0');
        begin = stop + 1;
    }
    std::vector<char*> argv;
    for (std::vector<char>& word : words)
        argv.push_back(word.data());
    const std::string first = argv.size() > 1 ? argv[1] : "";
    argv.push_back(nullptr);

    CvVideoFrontEnd fe;
    const bool ok = ParseCommandLine(fe, static_cast<int>(words.size()), argv.data(), help);
    Check(Terminated(fe.joinedArgs) && Terminated(fe.baseName), "the buffers keep their terminating zero");
    if (!ok)
        return 0;
    Check(fe.writeResult == (std::strstr(fe.joinedArgs, "/r") != nullptr), "recording follows \"/r\"");
    if (fe.defaultUsed) {
        Check(std::strcmp(fe.joinedArgs, CV_FE_DEFAULT_VIDEO) == 0, "the default video is played");
        return 0;
    }
    std::string joined;
    for (size_t i = 1; i < words.size(); ++i)
        joined += argv[i];
    Check(joined == fe.joinedArgs, "the joined text holds every argument");
    Check(std::strlen(argv[1]) == first.size(), "lower-casing keeps the length");
    if (fe.cameraSource) {
        Check(fe.deviceNumber >= 0 && fe.deviceNumber <= 9, "a device number is a digit");
        return 0;
    }
    Check(std::strstr(fe.joinedArgs, ".avi") != nullptr, "a file source names an AVI file");
    const size_t base = static_cast<size_t>(std::strstr(fe.joinedArgs, ".avi") - fe.joinedArgs);
    Check(base + std::strlen(".avi") < sizeof fe.inputPath, "the input path fits");
    Check(!fe.writeResult || base + std::strlen("_out.avi") < sizeof fe.outputPath, "the output path fits");
    return 0;
}
