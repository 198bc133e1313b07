// The batch tools' main: options, the list of videos and its shard, the workers, the summary.

#include "Batch.h"
#include "StopSignals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sched.h>
#include <sys/stat.h>

namespace {

/* Exit statuses of the batch. */
const int CV_BATCH_EXIT_FAILED = 1;
const int CV_BATCH_EXIT_USAGE = 2;
const int CV_BATCH_EXIT_STOPPED = 130;

/* The cores this process may run on, which a cluster's scheduler may have cut down. */
int UsableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const int count = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
    return count > 0 ? count : 1;
}

/* The videos with their results' names; false after a line on standard error when two videos would write
   the same results (two "clip.avi" of different folders into one --out folder). */
bool NameResults(const CvBatchOptions& options, const std::vector<std::string>& paths,
                 std::vector<CvBatchVideo>& videos)
{
    std::map<std::string, std::string> owners;
    for (const std::string& path : paths) {
        CvBatchVideo video;
        video.path = path;
        video.finalBase = ResultBase(path, options.outFolder);
        const auto owner = owners.emplace(video.finalBase, path);
        if (!owner.second) {
            std::fprintf(stderr,
                         "%s and %s would write the same results %s_*; give them different names or "
                         "output folders\n",
                         owner.first->second.c_str(), path.c_str(), video.finalBase.c_str());
            return false;
        }
        videos.push_back(video);
    }
    return true;
}

bool MakeOutFolder(const std::string& folder)
{
    struct stat info;
    if (folder.empty() || (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)))
        return true;
    if (mkdir(folder.c_str(), 0777) == 0)
        return true;
    std::fprintf(stderr, "Cannot make the output folder %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
}

} // namespace

int RunBatchTool(const CvBatchProgram& program, int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--worker") == 0)
        return RunBatchWorker(program, argc, argv);
    CvBatchOptions options;
    bool help = false;
    if (!ParseBatchOptions(program, argc, argv, options, help)) {
        if (help)
            PrintBatchHelp(program);
        return help ? 0 : CV_BATCH_EXIT_USAGE;
    }
    options.workers = options.workers > 0 ? options.workers : UsableCores();
    std::vector<std::string> paths;
    std::vector<CvBatchVideo> videos;
    if (!CollectVideos(options.inputs, paths) || !MakeOutFolder(options.outFolder) ||
        !NameResults(options, SelectShard(paths, options.shard, options.shardCount), videos))
        return CV_BATCH_EXIT_USAGE;
    // Ctrl+C, SIGTERM and SIGHUP stop handing out videos; the running ones are asked to stop.
    CatchStopSignals();
    const double start = BatchClock();
    if (!RunBatchPool(program, options, videos))
        return CV_BATCH_EXIT_USAGE;
    PrintBatchSummary(program, options, videos, BatchClock() - start);
    if (StopRequested())
        return CV_BATCH_EXIT_STOPPED;
    for (const CvBatchVideo& video : videos)
        if (video.failed)
            return CV_BATCH_EXIT_FAILED;
    return 0;
}
