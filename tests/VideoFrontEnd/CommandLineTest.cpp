// ParseCommandLine: sources, recording switch, help, messages and the buffer limit.

#include "VideoFrontEnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

/* Runs ParseCommandLine on the words after the program name and keeps what it printed. */
struct Parsed
{
    std::vector<std::vector<char>> words; /* mutable argument buffers, argv[0] first */
    std::string printed;                  /* standard output */
    bool ok = false;
    CvVideoFrontEnd fe;

    Parsed(std::vector<std::string> args, const char* help = CV_FE_LANESCOPE_HELP)
    {
        args.insert(args.begin(), "Lanescope");
        std::vector<char*> argv;
        for (const std::string& a : args)
            words.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        ok = ParseCommandLine(fe, static_cast<int>(args.size()), argv.data(), help);
        printed = testing::internal::GetCapturedStdout();
    }
    std::string Arg(int i) const { return words[i].data(); }
};

const char* const AVI_ONLY = "AVI files are processing only!\n\n";

} // namespace

TEST(CommandLine, NoSourcePrintsHelpAndPlaysTheDefaultVideo)
{
    for (const auto& args : {std::vector<std::string>{}, {"/?"}, {"x/?y"}}) {
        Parsed p(args);
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.printed, "\n\n=== Lanescope help ===\n\nLanescope.exe [file.avi | 0..9] [/r ]\n"
                             " 0..9 - capture device number\n /r   - write result in file_out.avi\n");
        EXPECT_STREQ(p.fe.joinedArgs, "TrafficTest1f1.avi");
        EXPECT_TRUE(p.fe.defaultUsed);
        EXPECT_FALSE(p.fe.cameraSource);
        EXPECT_FALSE(p.fe.writeResult);
    }
    Parsed q({}, CV_FE_QUADFINDER_HELP);
    EXPECT_EQ(q.printed, "\n\n=== Quadfinder help ===\n\nPalmaro.exe [file.avi | 0..9] [/r ]\n"
                         " 0..9 - capture device number\n /r   - write result in file_out.avi\n");
}

TEST(CommandLine, OtherThanAviOrDeviceEndsEarly)
{
    for (const auto& args : {std::vector<std::string>{"/?", "x"}, {"movie.mpg"}, {"/r"}, {"clip.av", "i"}}) {
        Parsed p(args);
        EXPECT_FALSE(p.ok) << args[0];
        EXPECT_EQ(p.printed, AVI_ONLY) << args[0];
    }
}

TEST(CommandLine, FileNamesAndRecordingSwitch)
{
    Parsed upper({"Clip.AVI"});
    EXPECT_TRUE(upper.ok);
    EXPECT_EQ(upper.Arg(1), "clip.avi") << "the first argument is lower-cased in place";
    EXPECT_STREQ(upper.fe.joinedArgs, "clip.avi");
    EXPECT_FALSE(upper.fe.writeResult);
    EXPECT_FALSE(upper.fe.cameraSource);
    EXPECT_EQ(upper.printed, "");

    Parsed record({"clip.avi", "/r"});
    EXPECT_STREQ(record.fe.joinedArgs, "clip.avi/r");
    EXPECT_TRUE(record.fe.writeResult);

    Parsed inPath({"c:/rec/clip.avi"});
    EXPECT_TRUE(inPath.fe.writeResult) << "\"/r\" anywhere in the joined text records";

    Parsed capitalR({"clip.avi", "/R"});
    EXPECT_FALSE(capitalR.fe.writeResult)
        << "the switch is case-sensitive and only the first word is lowered";
    EXPECT_STREQ(capitalR.fe.joinedArgs, "clip.avi/R");

    Parsed windows({"C:\\Dir.avi\\Clip.avi"});
    EXPECT_STREQ(windows.fe.joinedArgs, "c:\\dir.avi\\clip.avi");
}

TEST(CommandLine, DigitChoosesACaptureDevice)
{
    Parsed three({"3"});
    EXPECT_TRUE(three.ok);
    EXPECT_TRUE(three.fe.cameraSource);
    EXPECT_EQ(three.fe.deviceNumber, 3);
    EXPECT_FALSE(three.fe.writeResult);

    Parsed threeRecorded({"3", "/r"});
    EXPECT_TRUE(threeRecorded.fe.cameraSource);
    EXPECT_EQ(threeRecorded.fe.deviceNumber, 0) << "with a further argument the device is 0";
    EXPECT_TRUE(threeRecorded.fe.writeResult);

    Parsed twelve({"12"});
    EXPECT_EQ(twelve.fe.deviceNumber, 1);
    Parsed digitLed({"7clip.avi"});
    EXPECT_TRUE(digitLed.fe.cameraSource);
    EXPECT_EQ(digitLed.fe.deviceNumber, 7);
}

TEST(CommandLine, LongCommandLineIsRefusedWithinTheBuffers)
{
    const std::string refusal = "Command line too long: the arguments may hold at most 255 characters.\n";
    const std::string name251 = std::string(247, 'a') + ".avi";

    Parsed fits({name251, "abcd"}); // 255 characters
    EXPECT_TRUE(fits.ok);
    EXPECT_EQ(std::string(fits.fe.joinedArgs).size(), 255u);

    Parsed tooLong({name251, "abcde"}); // 256 characters
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.printed, refusal);

    Parsed huge({std::string(5000, 'b') + ".avi"});
    EXPECT_FALSE(huge.ok);
    EXPECT_EQ(huge.printed, refusal);

    // The output path adds "_out.avi" to the base name: 248 + 8 characters would not fit.
    Parsed outputTooLong({std::string(248, 'c') + ".avi", "/r"});
    EXPECT_FALSE(outputTooLong.ok);
    EXPECT_EQ(outputTooLong.printed, refusal);
    Parsed outputFits({std::string(247, 'c') + ".avi", "/r"});
    EXPECT_TRUE(outputFits.ok);
}
