#include "MemoryFile.h"
#include "LanescopeSettings.h"
#include "TempFolder.h"
#include "Texture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <opencv2/core.hpp>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

uint32_t U32(const Bytes& b, size_t at)
{
    return static_cast<uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) |
           (static_cast<uint32_t>(b[at + 3]) << 24);
}

const CvRect START = {CV_LS_SELECTION_X, CV_LS_SELECTION_Y, CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT};

/* The first training frame of a fresh run: one Write and one Read of the start rectangle, repeated. */
void TrainStart(CvAssociativeMemory& m, const cv::Mat& frame, int frames)
{
    CvMat view = cvMat(frame);
    m.Create(100, 100, 0);
    m.SetImage(&view);
    const int type = 1;
    for (int i = 0; i < frames; i++) {
        m.Write(START, &type);
        m.Read(START);
    }
}

/* Loads name into m, returning what was printed on standard output. */
std::string Load(CvAssociativeMemory& m, const std::string& name, bool* read,
                 CvMemoryFileStatus* status = NULL)
{
    testing::internal::CaptureStdout();
    *read = LoadMemoryFile(m, name.c_str(), status);
    return testing::internal::GetCapturedStdout();
}

TEST(MemoryFile, RootOnlyAndFirstRunFilesWithTheLoadReport)
{
    TempFolder dir;
    const std::string name = dir / "am.dat";
    CvAssociativeMemory fresh;
    fresh.Create(100, 100, 0);
    SaveMemoryFile(fresh, name.c_str());
    Bytes file = ReadAll(name);
    ASSERT_EQ(file.size(), 93u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()), 7), std::string("AMv0.3\0", 7));
    EXPECT_EQ(U32(file, 7), 82u);

    // The save-time prune forgets the three new bases, yet dataSize still counts their 566 feature bytes.
    CvAssociativeMemory first;
    TrainStart(first, MakeTexture(640, 480, 1), 1);
    SaveMemoryFile(first, name.c_str());
    file = ReadAll(name);
    ASSERT_EQ(file.size(), 659u);
    EXPECT_EQ(U32(file, 7), 648u);
    EXPECT_EQ(U32(file, 11 + 20), 1u);
    for (size_t i = 11 + 82; i < file.size(); i++)
        ASSERT_EQ(file[i], 0) << "spare byte " << i;

    CvAssociativeMemory next;
    bool read = false;
    const std::string report = Load(next, name, &read);
    EXPECT_TRUE(read);
    EXPECT_EQ(report, "\n  Load associative bases from file: " + name +
                          "\nAssociative bases ......... 1      \nAssociative Levels ........ 0      "
                          "\nCurrent base index ........ 4      \nWr/Rd counter ............. 2      \n\n");
    EXPECT_EQ(next.context.baseCount, 1);
    EXPECT_EQ(next.context.levels, 3);
}

TEST(MemoryFile, SaveLoadSaveGivesTheSameFileAndOldSignaturesAreRead)
{
    TempFolder dir;
    const std::string name = dir / "am.dat", copy = dir / "copy.dat";
    CvAssociativeMemory a;
    TrainStart(a, MakeTexture(640, 480, 1), 5); // 10 hits on every base: the prune keeps them
    SaveMemoryFile(a, name.c_str());
    ASSERT_EQ(a.context.baseCount, 4);
    const Bytes file = ReadAll(name);
    EXPECT_EQ(file.size(), 11u + 768u);

    CvAssociativeMemory b;
    bool read = false;
    const std::string report = Load(b, name, &read);
    ASSERT_TRUE(read);
    EXPECT_NE(report.find("Associative bases ......... 4      \nAssociative Levels ........ 3      \n"),
              std::string::npos)
        << report;
    SaveMemoryFile(b, copy.c_str());
    EXPECT_EQ(ReadAll(copy), file);

    Bytes old = file;
    old[5] = '2';
    WriteAll(name, old);
    CvAssociativeMemory c;
    EXPECT_FALSE(Load(c, name, &read).empty());
    ASSERT_TRUE(read);
    SaveMemoryFile(c, name.c_str());
    EXPECT_EQ(ReadAll(name), file) << "written back as AMv0.3";

    // Bytes after the packed size are not read and vanish with the next save.
    Bytes trailing = file;
    trailing.insert(trailing.end(), {1, 2, 3});
    WriteAll(name, trailing);
    CvAssociativeMemory d;
    Load(d, name, &read);
    ASSERT_TRUE(read);
    SaveMemoryFile(d, name.c_str());
    EXPECT_EQ(ReadAll(name), file);
}

TEST(MemoryFile, UnusableFilesGiveAFreshMemoryWithoutReport)
{
    TempFolder dir;
    const std::string name = dir / "am.dat";
    CvAssociativeMemory trained;
    TrainStart(trained, MakeTexture(640, 480, 1), 5);
    SaveMemoryFile(trained, name.c_str());
    const Bytes good = ReadAll(name);

    struct Case
    {
        const char* what;
        Bytes bytes;
        CvMemoryFileState state;
    };
    std::vector<Case> cases;
    Bytes b = good;
    b.at(5) = '1';
    cases.push_back({"AMv0.1", b, CV_MF_UNKNOWN_VERSION});
    cases.push_back({"5 bytes", Bytes(good.begin(), good.begin() + 5), CV_MF_DAMAGED});
    cases.push_back({"a picture", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0}, CV_MF_FOREIGN});
    cases.push_back({"header only", Bytes(good.begin(), good.begin() + 11), CV_MF_DAMAGED});
    b = good;
    b[7] += 1;
    cases.push_back({"packed size one past the file", b, CV_MF_DAMAGED});
    b = good;
    b[7] = b[8] = b[9] = b[10] = 0xFF;
    cases.push_back({"packed size of 4 GiB", b, CV_MF_DAMAGED});
    b = good;
    b[11 + 8] = 5;
    cases.push_back({"check value 5", b, CV_MF_DAMAGED});
    b = good;
    b[7] = 0;
    b[8] = b[9] = b[10] = 0;
    cases.push_back({"packed size 0", b, CV_MF_DAMAGED});

    for (const auto& c : cases) {
        WriteAll(name, c.bytes);
        CvAssociativeMemory m;
        bool read = true;
        CvMemoryFileStatus status;
        testing::internal::CaptureStderr();
        EXPECT_EQ(Load(m, name, &read, &status), "") << c.what;
        testing::internal::GetCapturedStderr();
        EXPECT_FALSE(read) << c.what;
        EXPECT_EQ(status.state, c.state) << c.what;
        EXPECT_EQ(m.root, nullptr) << c.what << ": the memory is left for the caller to create";
        // The caller's fresh memory replaces the file at the end of the run.
        m.Create(100, 100, 0);
        SaveMemoryFile(m, name.c_str());
        const Bytes now = ReadAll(name);
        EXPECT_EQ(now.size(), 93u) << c.what;
    }

    bool read = true;
    CvAssociativeMemory m;
    EXPECT_EQ(Load(m, dir / "missing.dat", &read), "");
    EXPECT_FALSE(read);
    EXPECT_FALSE(LoadMemoryFile(m, NULL));
    // A null name or a memory never created writes nothing; the old file stays.
    WriteAll(name, good);
    SaveMemoryFile(m, name.c_str());
    m.Create(100, 100, 0);
    SaveMemoryFile(m, NULL);
    EXPECT_EQ(ReadAll(name), good);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"am.dat"});
}

TEST(MemoryFile, AFailedSaveLeavesTheOldFileWhole)
{
    TempFolder dir;
    const std::string name = dir / "am.dat";
    const Bytes old = {'o', 'l', 'd'};
    CvAssociativeMemory m;
    TrainStart(m, MakeTexture(640, 480, 1), 5);

    // A full disk in the middle of the image: the file size limit fails the writes even for root.
    WriteAll(name, old);
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 300;
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    std::string failure;
    SaveMemoryFile(m, name.c_str(), &failure);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(failure, std::strerror(EFBIG));
    EXPECT_EQ(ReadAll(name), old);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"am.dat"}) << "the partial new file is removed";
}

TEST(MemoryFile, APackedSizeBeyondTheImageCostsNoMoreThanTheImage)
{
    TempFolder dir;
    const std::string name = dir / "am.dat";
    CvAssociativeMemory trained;
    TrainStart(trained, MakeTexture(640, 480, 1), 5);
    SaveMemoryFile(trained, name.c_str());
    // Nearly 4 GiB of spare bytes that the file claims without holding them: a sparse file.
    Bytes file = ReadAll(name);
    const uint32_t claimed = 0xFFFFFF00u;
    for (int i = 0; i < 4; i++)
        file[7 + static_cast<size_t>(i)] = static_cast<unsigned char>(claimed >> (8 * i));
    WriteAll(name, file);
    ASSERT_EQ(truncate(name.c_str(), 11 + static_cast<off_t>(claimed)), 0);

    struct rlimit saved;
    getrlimit(RLIMIT_DATA, &saved);
#ifndef __SANITIZE_ADDRESS__
    // The sanitizer's own reservations would not fit under this limit.
    struct rlimit limited = saved;
    limited.rlim_cur = 1u << 30;
    setrlimit(RLIMIT_DATA, &limited);
#endif
    CvAssociativeMemory m;
    bool read = false;
    Load(m, name, &read);
    setrlimit(RLIMIT_DATA, &saved);
    EXPECT_TRUE(read);
    EXPECT_EQ(m.context.baseCount, 4);
}

} // namespace
