// ParseCommandLine: sources, recording switch, help, messages and the buffer limit; and what people and
// other programs may hand it: very long and very many arguments, bytes outside ASCII and empty arguments.
// Nothing is written past the buffers, and a command line is either taken whole or refused with one line.

#include "CommandLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const AVI_ONLY = "AVI files are processing only!\n\n";
const char* const TOO_LONG = "Command line too long: the arguments may hold at most 255 characters.\n";

/* Runs ParseCommandLine on the words after the program name and keeps what it printed. */
struct ParsedCommandLine
{
    std::vector<std::vector<char>> words; /* mutable argument buffers, argv[0] first */
    std::vector<char*> argv;              /* the argument vector handed over, null-terminated */
    std::string printed;                  /* standard output */
    bool ok = false;                      /* what ParseCommandLine returned */
    CvVideoFrontEnd fe;

    explicit ParsedCommandLine(const std::vector<std::string>& args, const char* help = CV_FE_LANESCOPE_HELP)
    {
        words.emplace_back(std::vector<char>{'L', '\0'});
        for (const std::string& a : args)
            words.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        ok = ParseCommandLine(fe, static_cast<int>(words.size()), argv.data(), help);
        printed = testing::internal::GetCapturedStdout();
    }
    /* Argument i as it stands after parsing (argv[1] is lower-cased in place). */
    std::string Arg(int i) const { return words[i].data(); }
};

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

TEST(CommandLine, LongCommandLinesAreTakenWholeOrRefused)
{
    const std::string name255 = std::string(251, 'A') + ".AVI";
    ParsedCommandLine fits({name255});
    EXPECT_TRUE(fits.ok);
    EXPECT_EQ(fits.printed, "");
    EXPECT_EQ(fits.fe.joinedArgs, std::string(251, 'a') + ".avi") << "the first argument is lower-cased";
    EXPECT_EQ(std::strlen(fits.fe.joinedArgs), 255u);

    ParsedCommandLine longer({"a" + name255});
    EXPECT_FALSE(longer.ok);
    EXPECT_EQ(longer.printed, TOO_LONG);
    EXPECT_STREQ(longer.fe.joinedArgs, "") << "nothing of a refused command line is kept";

    // 10 000 characters, as the first argument, after it, and as a device argument.
    const std::string huge(10000, 'z');
    for (const auto& args :
         {std::vector<std::string>{huge + ".avi"}, {"clip.avi", huge}, {"3", huge + "/r"}}) {
        ParsedCommandLine p(args);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.printed, TOO_LONG);
        EXPECT_EQ(std::memchr(p.fe.joinedArgs, '\0', sizeof p.fe.joinedArgs), p.fe.joinedArgs);
    }
    ParsedCommandLine hugeOther({huge});
    EXPECT_FALSE(hugeOther.ok);
    EXPECT_EQ(hugeOther.printed, AVI_ONLY) << "a name that is no AVI file is refused for that first";

    // The output path adds "_out.avi" to the base name: 248 + 8 characters would not fit.
    ParsedCommandLine outputTooLong({std::string(248, 'c') + ".avi", "/r"});
    EXPECT_FALSE(outputTooLong.ok);
    EXPECT_EQ(outputTooLong.printed, TOO_LONG);
    ParsedCommandLine outputFits({std::string(247, 'c') + ".avi", "/r"});
    EXPECT_TRUE(outputFits.ok);
}

TEST(HostileCommandLine, ManyArgumentsAreJoinedWithinTheBuffer)
{
    // 5 + 250 one-character arguments make 255 characters; one more is refused.
    std::vector<std::string> args{"a.avi"};
    args.insert(args.end(), 250, "x");
    ParsedCommandLine fits(args);
    EXPECT_TRUE(fits.ok);
    EXPECT_EQ(fits.fe.joinedArgs, "a.avi" + std::string(250, 'x'));
    args.push_back("x");
    ParsedCommandLine over(args);
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(over.printed, TOO_LONG);

    // A hundred thousand empty arguments add nothing; "/r" at the very end still switches recording on.
    std::vector<std::string> empties{"clip.avi"};
    empties.insert(empties.end(), 100000, "");
    empties.push_back("/r");
    ParsedCommandLine many(empties);
    EXPECT_TRUE(many.ok);
    EXPECT_STREQ(many.fe.joinedArgs, "clip.avi/r");
    EXPECT_TRUE(many.fe.writeResult);
    EXPECT_FALSE(many.fe.cameraSource);

    ParsedCommandLine device({"5", "", ""});
    EXPECT_TRUE(device.ok);
    EXPECT_TRUE(device.fe.cameraSource);
    EXPECT_EQ(device.fe.deviceNumber, 0) << "with further arguments, even empty ones, the device is 0";
}

TEST(HostileCommandLine, BytesOutsideAsciiAreKeptAndNeverTakenForDigits)
{
    // Lower-casing touches A to Z only: UTF-8 and Latin-1 bytes pass through unchanged.
    ParsedCommandLine utf8({"Str\xC3\x84\xC3\x9F"
                            "E.AVI",
                            "/r"});
    EXPECT_TRUE(utf8.ok);
    EXPECT_STREQ(utf8.fe.joinedArgs, "str\xC3\x84\xC3\x9F"
                                     "e.avi/r");
    EXPECT_STREQ(utf8.argv[1], "str\xC3\x84\xC3\x9F"
                               "e.avi");
    EXPECT_TRUE(utf8.fe.writeResult);

    // Bytes above 127 are not digits (superscript two, Arabic-Indic digits in UTF-8, 0xFF).
    for (const char* word : {"\xB2", "\xD9\xA3", "\xFF", "\x80.mpg"}) {
        ParsedCommandLine p({word});
        EXPECT_FALSE(p.ok) << word;
        EXPECT_EQ(p.printed, AVI_ONLY);
    }
    ParsedCommandLine control({"\x01\x1b[2J.avi"});
    EXPECT_TRUE(control.ok);
    EXPECT_STREQ(control.fe.joinedArgs, "\x01\x1b[2j.avi")
        << "only A to Z change, even in an escape sequence";
}

TEST(HostileCommandLine, EmptyArgumentsNameNoSource)
{
    ParsedCommandLine empty({""});
    EXPECT_FALSE(empty.ok);
    EXPECT_EQ(empty.printed, AVI_ONLY);
    EXPECT_FALSE(empty.fe.defaultUsed) << "an empty argument is not the absent one";

    ParsedCommandLine emptyFirst({"", "clip.avi"});
    EXPECT_FALSE(emptyFirst.ok);
    EXPECT_EQ(emptyFirst.printed, AVI_ONLY);

    ParsedCommandLine emptyAfter({"clip.avi", ""});
    EXPECT_TRUE(emptyAfter.ok);
    EXPECT_STREQ(emptyAfter.fe.joinedArgs, "clip.avi");
    EXPECT_FALSE(emptyAfter.fe.writeResult);

    ParsedCommandLine emptyAfterHelp({"/?", ""});
    EXPECT_FALSE(emptyAfterHelp.ok) << "\"/?\" prints the help only when it is the one argument";
    EXPECT_EQ(emptyAfterHelp.printed, AVI_ONLY);
}
