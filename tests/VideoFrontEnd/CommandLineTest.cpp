// ParseCommandLine: sources, recording switch, help, messages and the buffer limit.

#include "ParsedCommandLine.h"
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const AVI_ONLY = "AVI files are processing only!\n\n";

} // namespace

TEST(CommandLine, NoSourcePrintsHelpAndPlaysTheDefaultVideo)
{
    for (const auto& args : {std::vector<std::string>{}, {"/?"}, {"x/?y"}}) {
        ParsedCommandLine p(args);
        EXPECT_TRUE(p.ok);
        EXPECT_EQ(p.printed, "\n\n=== Lanescope help ===\n\nLanescope.exe [file.avi | 0..9] [/r ]\n"
                             " 0..9 - capture device number\n /r   - write result in file_out.avi\n");
        EXPECT_STREQ(p.fe.joinedArgs, "TrafficTest1f1.avi");
        EXPECT_TRUE(p.fe.defaultUsed);
        EXPECT_FALSE(p.fe.cameraSource);
        EXPECT_FALSE(p.fe.writeResult);
    }
    ParsedCommandLine q({}, CV_FE_QUADFINDER_HELP);
    EXPECT_EQ(q.printed, "\n\n=== Quadfinder help ===\n\nPalmaro.exe [file.avi | 0..9] [/r ]\n"
                         " 0..9 - capture device number\n /r   - write result in file_out.avi\n");
}

TEST(CommandLine, OtherThanAviOrDeviceEndsEarly)
{
    for (const auto& args : {std::vector<std::string>{"/?", "x"}, {"movie.mpg"}, {"/r"}, {"clip.av", "i"}}) {
        ParsedCommandLine p(args);
        EXPECT_FALSE(p.ok) << args[0];
        EXPECT_EQ(p.printed, AVI_ONLY) << args[0];
    }
}

TEST(CommandLine, FileNamesAndRecordingSwitch)
{
    ParsedCommandLine upper({"Clip.AVI"});
    EXPECT_TRUE(upper.ok);
    EXPECT_EQ(upper.Arg(1), "clip.avi") << "the first argument is lower-cased in place";
    EXPECT_STREQ(upper.fe.joinedArgs, "clip.avi");
    EXPECT_FALSE(upper.fe.writeResult);
    EXPECT_FALSE(upper.fe.cameraSource);
    EXPECT_EQ(upper.printed, "");

    ParsedCommandLine record({"clip.avi", "/r"});
    EXPECT_STREQ(record.fe.joinedArgs, "clip.avi/r");
    EXPECT_TRUE(record.fe.writeResult);

    ParsedCommandLine inPath({"c:/rec/clip.avi"});
    EXPECT_TRUE(inPath.fe.writeResult) << "\"/r\" anywhere in the joined text records";

    ParsedCommandLine capitalR({"clip.avi", "/R"});
    EXPECT_FALSE(capitalR.fe.writeResult)
        << "the switch is case-sensitive and only the first word is lowered";
    EXPECT_STREQ(capitalR.fe.joinedArgs, "clip.avi/R");

    ParsedCommandLine windows({"C:\\Dir.avi\\Clip.avi"});
    EXPECT_STREQ(windows.fe.joinedArgs, "c:\\dir.avi\\clip.avi");
}

TEST(CommandLine, DigitChoosesACaptureDevice)
{
    ParsedCommandLine three({"3"});
    EXPECT_TRUE(three.ok);
    EXPECT_TRUE(three.fe.cameraSource);
    EXPECT_EQ(three.fe.deviceNumber, 3);
    EXPECT_FALSE(three.fe.writeResult);

    ParsedCommandLine threeRecorded({"3", "/r"});
    EXPECT_TRUE(threeRecorded.fe.cameraSource);
    EXPECT_EQ(threeRecorded.fe.deviceNumber, 0) << "with a further argument the device is 0";
    EXPECT_TRUE(threeRecorded.fe.writeResult);

    ParsedCommandLine twelve({"12"});
    EXPECT_EQ(twelve.fe.deviceNumber, 1);
    ParsedCommandLine digitLed({"7clip.avi"});
    EXPECT_TRUE(digitLed.fe.cameraSource);
    EXPECT_EQ(digitLed.fe.deviceNumber, 7);
}

TEST(CommandLine, LongCommandLineIsRefusedWithinTheBuffers)
{
    const std::string refusal = "Command line too long: the arguments may hold at most 255 characters.\n";
    const std::string name251 = std::string(247, 'a') + ".avi";

    ParsedCommandLine fits({name251, "abcd"}); // 255 characters
    EXPECT_TRUE(fits.ok);
    EXPECT_EQ(std::string(fits.fe.joinedArgs).size(), 255u);

    ParsedCommandLine tooLong({name251, "abcde"}); // 256 characters
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.printed, refusal);

    ParsedCommandLine huge({std::string(5000, 'b') + ".avi"});
    EXPECT_FALSE(huge.ok);
    EXPECT_EQ(huge.printed, refusal);

    // The output path adds "_out.avi" to the base name: 248 + 8 characters would not fit.
    ParsedCommandLine outputTooLong({std::string(248, 'c') + ".avi", "/r"});
    EXPECT_FALSE(outputTooLong.ok);
    EXPECT_EQ(outputTooLong.printed, refusal);
    ParsedCommandLine outputFits({std::string(247, 'c') + ".avi", "/r"});
    EXPECT_TRUE(outputFits.ok);
}
