// The batch's worker processes: each video runs in the tool itself, started again in its worker mode, with
// its results under unfinished names that take their final names only when the worker says they are whole.

#include "Batch.h"
#include "StopSignals.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/* The descriptor a worker writes its counts to; the memory file's bytes come on the next one. */
const int CV_BATCH_REPORT_FD = 3;
const int CV_BATCH_MEMORY_FD = 4;

/* A worker that runs one video. */
struct CvBatchWorker
{
    pid_t pid = -1;        /* its process */
    std::size_t video = 0; /* its video's index */
    int reportFd = -1;     /* the read end of its report pipe */
    int errorFd = -1;      /* the file its standard error goes to */
    double start = 0;      /* the steady clock at its start */
};

/* Everything the pool keeps for a batch. */
struct CvBatchPool
{
    std::string self;  /* this tool's executable */
    int memoryFd = -1; /* the memory file's bytes, read once; -1 for none */
    std::vector<CvBatchWorker> running;
    CvBatchProgress progress;
    bool stopForwarded = false;
};

/* Lowest descriptor the batch keeps its own files at, above those a worker is given. */
const int CV_BATCH_HIGH_FD = 10;

/* Moves fd above the descriptors a worker is given, so that giving them cannot close it; -1 stays -1. */
int MoveHigh(int fd)
{
    if (fd < 0)
        return fd;
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, CV_BATCH_HIGH_FD);
    close(fd);
    return high;
}

std::string SelfPath()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

/* Reads the memory file once into a file in memory, which every worker rebuilds its memory from: no video's
   run sees another's changes, and a memory file replaced meanwhile changes no video. -1 after a line on
   standard error. */
int ReadMemoryOnce(const std::string& fileName)
{
    const int source = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    const int copy = source >= 0 ? memfd_create("batch-memory", MFD_CLOEXEC) : -1;
    char buffer[1 << 16];
    ssize_t length = 0;
    while (copy >= 0 && (length = read(source, buffer, sizeof buffer)) > 0)
        if (write(copy, buffer, static_cast<std::size_t>(length)) != length)
            length = -1;
    const int error = errno;
    if (source >= 0)
        close(source);
    if (copy < 0 || length < 0) {
        std::fprintf(stderr, "Cannot read the memory file %s: %s\n", fileName.c_str(), std::strerror(error));
        if (copy >= 0)
            close(copy);
        return -1;
    }
    return MoveHigh(copy);
}

/* Starts the worker of video: its standard output is dropped (a windowless run's lines are no result), its
   standard error kept for the batch to pass on, and it runs in its own process group, so that Ctrl+C
   reaches the batch alone, which then asks each worker to stop, once. */
bool StartWorker(CvBatchPool& pool, const CvBatchOptions& options, CvBatchWorker& worker,
                 const CvBatchVideo& video)
{
    int report[2];
    worker.errorFd = MoveHigh(memfd_create("batch-worker-stderr", MFD_CLOEXEC));
    if (worker.errorFd >= 0 && pipe2(report, O_CLOEXEC) != 0) {
        close(worker.errorFd);
        worker.errorFd = -1;
    }
    if (worker.errorFd < 0)
        return false;
    report[0] = MoveHigh(report[0]);
    report[1] = MoveHigh(report[1]);
    const std::string base = UnfinishedBase(video.finalBase);
    const std::string threads = options.workers > 1 ? "1" : "0";
    const std::string memory =
        pool.memoryFd >= 0 ? "/proc/self/fd/" + std::to_string(CV_BATCH_MEMORY_FD) : "";
    const char* argv[] = {pool.self.c_str(),          "--worker",      video.path.c_str(), base.c_str(),
                          options.record ? "1" : "0", threads.c_str(), memory.c_str(),     nullptr};
    worker.pid = fork();
    if (worker.pid == 0) {
        setpgid(0, 0);
        // The batch may have been started with stop signals ignored (a background job); its workers must
        // still hear the one it passes on.
        for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
            signal(signalNumber, SIG_DFL);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(worker.errorFd, STDERR_FILENO);
        dup2(report[1], CV_BATCH_REPORT_FD);
        if (pool.memoryFd >= 0)
            dup2(pool.memoryFd, CV_BATCH_MEMORY_FD);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    close(report[1]);
    worker.reportFd = report[0];
    worker.start = BatchClock();
    if (worker.pid < 0) {
        close(worker.reportFd);
        close(worker.errorFd);
    }
    return worker.pid > 0;
}

/* Passes the worker's messages on, each line after the video's name. */
void PassOnMessages(CvBatchPool& pool, const CvBatchWorker& worker, const std::string& video)
{
    std::string text;
    char buffer[4096];
    ssize_t length;
    off_t offset = 0;
    while ((length = pread(worker.errorFd, buffer, sizeof buffer, offset)) > 0) {
        text.append(buffer, static_cast<std::size_t>(length));
        offset += length;
    }
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find('\n', begin);
        const std::string line =
            text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (!line.empty()) {
            ClearBatchProgress(pool.progress);
            std::fprintf(stderr, "%s: %s\n", video.c_str(), line.c_str());
        }
        begin = end == std::string::npos ? text.size() : end + 1;
    }
}

/* Puts the video's results in place under their final names. */
std::string PutResultsInPlace(const CvBatchProgram& program, const CvBatchOptions& options,
                              const CvBatchVideo& video)
{
    const std::string unfinished = UnfinishedBase(video.finalBase);
    for (const std::string& suffix : ResultSuffixes(program, options))
        if (std::rename((unfinished + suffix).c_str(), (video.finalBase + suffix).c_str()) != 0)
            return "failed: " + video.finalBase + suffix + " could not be put in place (" +
                   std::strerror(errno) + ")";
    return "done";
}

/* The outcome of a worker that ended with status. */
std::string Outcome(const CvBatchProgram& program, const CvBatchOptions& options, const CvBatchVideo& video,
                    int status)
{
    if (WIFSIGNALED(status))
        return std::string("failed: the worker was ended by ") + strsignal(WTERMSIG(status));
    switch (WEXITSTATUS(status)) {
    case CV_BATCH_DONE:
        return PutResultsInPlace(program, options, video);
    case CV_BATCH_NOT_OPENED:
        return "failed: cannot be opened or decoded";
    case CV_BATCH_NOT_WRITTEN:
        return "failed: its results could not be written whole";
    case CV_BATCH_NO_MEMORY:
        return "failed: the memory file could not be used";
    case CV_BATCH_STOPPED:
        return "stopped (its results keep their unfinished names)";
    default:
        return "failed: the worker ended with status " + std::to_string(WEXITSTATUS(status));
    }
}

/* Takes what an ended worker left: its counts, messages, time, memory and outcome. */
void FinishWorker(const CvBatchProgram& program, const CvBatchOptions& options, CvBatchPool& pool,
                  const CvBatchWorker& worker, int status, const struct rusage& usage,
                  std::vector<CvBatchVideo>& videos)
{
    CvBatchVideo& video = videos[worker.video];
    char report[128] = {};
    unsigned long long frames = 0, items = 0;
    if (read(worker.reportFd, report, sizeof report - 1) > 0 &&
        std::sscanf(report, "%llu %llu", &frames, &items) == 2) {
        video.counts.frames = frames;
        video.counts.items = items;
    }
    close(worker.reportFd);
    PassOnMessages(pool, worker, video.path);
    close(worker.errorFd);
    video.seconds = BatchClock() - worker.start;
    video.peakKiB = usage.ru_maxrss;
    video.outcome = Outcome(program, options, video, status);
    video.failed = video.outcome.compare(0, 6, "failed") == 0;
    if (video.failed) {
        ClearBatchProgress(pool.progress);
        std::fprintf(stderr, "%s: %s\n", video.path.c_str(), video.outcome.c_str());
    }
    pool.progress.done++;
    pool.progress.ran++;
    pool.progress.frames += video.counts.frames;
    DrawBatchProgress(pool.progress, true);
}

/* Asks every running worker, once, to stop as SIGTERM stops a program's run. */
void ForwardStop(CvBatchPool& pool)
{
    if (pool.stopForwarded || !StopRequested())
        return;
    pool.stopForwarded = true;
    for (const CvBatchWorker& worker : pool.running)
        kill(worker.pid, SIGTERM);
}

/* Waits a moment for a worker to end and finishes it; false when none ended. */
bool ReapWorker(const CvBatchProgram& program, const CvBatchOptions& options, CvBatchPool& pool,
                std::vector<CvBatchVideo>& videos)
{
    int status = 0;
    struct rusage usage = {};
    const pid_t pid = wait4(-1, &status, WNOHANG, &usage);
    for (std::size_t i = 0; pid > 0 && i < pool.running.size(); ++i) {
        if (pool.running[i].pid != pid)
            continue;
        FinishWorker(program, options, pool, pool.running[i], status, usage, videos);
        pool.running.erase(pool.running.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }
    usleep(50000);
    return false;
}

/* Starts the next video that needs a run, skipping complete ones; false when none is left. */
bool StartNext(const CvBatchProgram& program, const CvBatchOptions& options, CvBatchPool& pool,
               std::vector<CvBatchVideo>& videos, std::size_t& next)
{
    for (; next < videos.size(); ++next) {
        CvBatchVideo& video = videos[next];
        if (!options.force && ResultsComplete(program, options, video)) {
            video.outcome = "skipped (complete)";
            pool.progress.done++;
            pool.progress.toRun--;
            continue;
        }
        CvBatchWorker worker;
        worker.video = next++;
        if (!StartWorker(pool, options, worker, video)) {
            video.outcome = std::string("failed: no worker could be started (") + std::strerror(errno) + ")";
            video.failed = true;
            pool.progress.done++;
            pool.progress.toRun--;
            continue;
        }
        pool.running.push_back(worker);
        return true;
    }
    return false;
}

} // namespace

bool RunBatchPool(const CvBatchProgram& program, const CvBatchOptions& options,
                  std::vector<CvBatchVideo>& videos)
{
    CvBatchPool pool;
    pool.self = SelfPath();
    if (program.usesMemory && (pool.memoryFd = ReadMemoryOnce(options.memoryFile)) < 0)
        return false;
    StartBatchProgress(pool.progress, videos.size());
    std::size_t next = 0;
    for (;;) {
        while (!StopRequested() && static_cast<int>(pool.running.size()) < options.workers &&
               StartNext(program, options, pool, videos, next)) {
        }
        DrawBatchProgress(pool.progress, false);
        if (pool.running.empty() && (StopRequested() || next >= videos.size()))
            break;
        ForwardStop(pool);
        ReapWorker(program, options, pool, videos);
    }
    EndBatchProgress(pool.progress);
    for (CvBatchVideo& video : videos)
        if (video.outcome.empty())
            video.outcome = "not started (stopped)";
    if (pool.memoryFd >= 0)
        close(pool.memoryFd);
    return true;
}
