// The memory file in a hostile folder: a working directory that cannot be written, "am.dat" that is a
// directory or a symbolic link, and a file that another run replaces meanwhile. Whatever the folder holds,
// a save either completes (in place when only the file may be written) or leaves the old file exactly as
// it was and says why to its caller, and prints nothing. A link stays and the file it leads to is saved.

#include "LanescopeSettings.h"
#include "MemoryFile.h"
#include "TempFolder.h"
#include "Texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
/* A memory trained often enough on a textured 640 x 480 frame that its bases survive the save's pruning. */
void Train(CvAssociativeMemory& m, uint64_t seed)
{
    const cv::Mat frame = MakeTexture(640, 480, seed);
    CvMat view = cvMat(frame);
    m.Create(100, 100, 0);
    m.SetImage(&view);
    const CvRect area = {CV_LS_SELECTION_X, CV_LS_SELECTION_Y, CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT};
    const int type = 1;
    for (int i = 0; i < 10; i++) {
        m.Write(area, &type);
        m.Read(area);
    }
}

/* Saves m under name and returns what the save printed on standard output and standard error. */
std::string SaveQuietly(CvAssociativeMemory& m, const std::string& name)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    SaveMemoryFile(m, name.c_str());
    return testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
}

/* Runs body in a child process as an unprivileged user (nobody when we are root, else ourselves), with its
   standard output and error in *printed; the child's exit status, or -1 when it could not run. */
template <typename Body> int AsUnprivilegedUser(Body body, std::string* printed)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        dup2(pipeEnds[1], 2);
        close(pipeEnds[0]);
        if (geteuid() == 0) {
            const struct passwd* nobody = getpwnam("nobody");
            const uid_t uid = nobody ? nobody->pw_uid : 65534;
            const gid_t gid = nobody ? nobody->pw_gid : 65534;
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                _exit(90);
        }
        const int status = body();
        std::fflush(stdout);
        std::fflush(stderr);
        // Without the exit handlers: the parent's test framework and leak checker belong to the parent.
        _exit(status);
    }
    close(pipeEnds[1]);
    char chunk[256];
    ssize_t n;
    while ((n = read(pipeEnds[0], chunk, sizeof chunk)) > 0)
        printed->append(chunk, static_cast<size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

TEST(HostileFolder, AWorkingDirectoryThatCannotBeWrittenKeepsTheOldFile)
{
    TempFolder folder;
    const std::string name = folder / "am.dat";
    CvAssociativeMemory old, trained;
    old.Create(100, 100, 0);
    SaveMemoryFile(old, name.c_str());
    const Bytes before = ReadAll(name);
    ASSERT_EQ(before.size(), 93u);
    Train(trained, 3);

    // The run saves into its working directory, which its user may read but not write; for root, whom
    // permissions do not stop, the child runs as nobody.
    fs::permissions(folder.path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    const std::string directory = folder.path.string();
    std::string printed;
    const int status = AsUnprivilegedUser(
        [&]() {
            if (chdir(directory.c_str()) != 0 || access(".", W_OK) == 0)
                return 91; // no unprivileged user here, or one that may write after all
            CvAssociativeMemory loaded;
            if (!LoadMemoryFile(loaded, "am.dat"))
                return 92;
            std::fputs("saving\n", stdout);
            std::fflush(stdout);
            std::string failure;
            SaveMemoryFile(trained, "am.dat", &failure);
            return failure == "Permission denied" ? 0 : 93;
        },
        &printed);
    if (status == 90 || status == 91)
        GTEST_SKIP() << "no user without write permission on the folder";
    ASSERT_EQ(status, 0) << printed;
    const std::string marker = "saving\n";
    ASSERT_GE(printed.size(), marker.size());
    EXPECT_EQ(printed.substr(printed.size() - marker.size()), marker)
        << "the save prints nothing: " << printed;
    EXPECT_EQ(ReadAll(name), before);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"am.dat"}) << "no new file left behind";

    // A file that its user may write is rewritten in place rather than lose what the run learned.
    TempFolder reference;
    SaveMemoryFile(trained, (reference / "am.dat").c_str());
    fs::permissions(name, fs::perms::others_write, fs::perm_options::add);
    const int inPlace = AsUnprivilegedUser(
        [&]() {
            std::string failure = "no folder";
            if (chdir(directory.c_str()) == 0)
                SaveMemoryFile(trained, "am.dat", &failure);
            return failure.empty() ? 0 : 93;
        },
        &printed);
    EXPECT_EQ(inPlace, 0) << printed;
    EXPECT_EQ(ReadAll(name), ReadAll(reference / "am.dat"));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"am.dat"});
}

TEST(HostileFolder, ADirectoryNamedAmDatIsNeitherReadNorReplaced)
{
    TempFolder folder;
    const std::string name = folder / "am.dat";
    fs::create_directory(name);
    WriteAll(name + "/inside", Bytes{'k', 'e', 'e', 'p'});

    CvAssociativeMemory m;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(LoadMemoryFile(m, name.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m.root, nullptr) << "the run goes on with a fresh memory";

    Train(m, 4);
    EXPECT_EQ(SaveQuietly(m, name), "");
    EXPECT_TRUE(fs::is_directory(name));
    EXPECT_EQ(ReadAll(name + "/inside"), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"am.dat"});
}

TEST(HostileFolder, ALinkedMemoryIsSavedWhereItIsKept)
{
    TempFolder folder, elsewhere;
    const std::string name = folder / "am.dat", shared = elsewhere / "shared.dat";
    CvAssociativeMemory m;
    Train(m, 5);

    // A chain of two links, the first relative, to a memory kept elsewhere: read through them, and the save
    // replaces the file at their end with its permissions, leaving the links in place.
    CvAssociativeMemory small;
    small.Create(100, 100, 0);
    SaveMemoryFile(small, shared.c_str());
    chmod(shared.c_str(), 0640);
    fs::create_symlink(shared, folder / "next");
    fs::create_symlink("next", name);
    CvAssociativeMemory loaded;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(LoadMemoryFile(loaded, name.c_str()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(SaveQuietly(m, name), "");
    EXPECT_TRUE(fs::is_symlink(name));
    EXPECT_EQ(ReadAll(shared).size(), 11u + 768u);
    struct stat info;
    ASSERT_EQ(stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"am.dat", "next"}));
    EXPECT_EQ(elsewhere.Entries(), std::vector<std::string>{"shared.dat"});
    const Bytes saved = ReadAll(shared);

    // A dangling link: the save makes the file where the link says the memory is kept.
    fs::remove(folder / "next");
    fs::create_symlink(elsewhere / "created.dat", folder / "next");
    EXPECT_EQ(SaveQuietly(m, name), "");
    EXPECT_EQ(ReadAll(elsewhere / "created.dat"), saved);

    // A link to a directory: the save fails and both stay.
    fs::remove(folder / "next");
    fs::create_symlink(elsewhere.path, folder / "next");
    std::string failure;
    SaveMemoryFile(m, name.c_str(), &failure);
    EXPECT_EQ(failure, std::strerror(EISDIR));
    EXPECT_TRUE(fs::is_symlink(folder / "next"));
    EXPECT_EQ(elsewhere.Entries(), (std::vector<std::string>{"created.dat", "shared.dat"}));

    // Another user's link in a folder that everyone may write is not followed; changing a link's owner
    // takes root.
    fs::remove(name);
    fs::create_symlink(shared, name);
    chmod(folder.path.c_str(), 01777);
    if (lchown(name.c_str(), 65534, 65534) == 0) {
        SaveMemoryFile(small, name.c_str(), &failure);
        EXPECT_EQ(failure, std::strerror(EACCES));
        EXPECT_EQ(ReadAll(shared), saved);
    }
}

TEST(HostileFolder, AFileReplacedByAnotherRunIsReplacedWholeInTurn)
{
    TempFolder folder;
    const std::string name = folder / "am.dat";
    CvAssociativeMemory ours, theirs;
    Train(ours, 6);
    theirs.Create(100, 100, 0);
    SaveMemoryFile(ours, name.c_str());
    const Bytes oursBytes = ReadAll(name);
    SaveMemoryFile(theirs, name.c_str());
    const Bytes theirsBytes = ReadAll(name);
    ASSERT_NE(oursBytes.size(), theirsBytes.size());

    // Another run saves its memory over and over while this one saves and reads: every read finds one of
    // the two files whole, never a mixture or a cut one.
    std::fflush(stdout);
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        for (int i = 0; i < 300; i++)
            SaveMemoryFile(theirs, name.c_str());
        _exit(0);
    }
    int torn = 0, loads = 0;
    for (int i = 0; i < 300; i++) {
        SaveMemoryFile(ours, name.c_str());
        const Bytes now = ReadAll(name);
        torn += now != oursBytes && now != theirsBytes;
        CvAssociativeMemory loaded;
        testing::internal::CaptureStdout();
        loads += LoadMemoryFile(loaded, name.c_str());
        testing::internal::GetCapturedStdout();
    }
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(loads, 300);

    // This run's save at its end replaces the other's file whole.
    SaveMemoryFile(ours, name.c_str());
    EXPECT_EQ(ReadAll(name), oursBytes);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"am.dat"}) << "no new file left behind";
}
