// ParseCommandLine given what people and other programs may hand it: very long and very many arguments,
// bytes outside ASCII and empty arguments. Nothing is written past the buffers, and a command line is
// either taken whole or refused with one line.

#include "ParsedCommandLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const TOO_LONG = "Command line too long: the arguments may hold at most 255 characters.\n";
const char* const AVI_ONLY = "AVI files are processing only!\n\n";

} // namespace

TEST(HostileCommandLine, LongArgumentsAreTakenWholeOrRefused)
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
