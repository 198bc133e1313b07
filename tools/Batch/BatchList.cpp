// The batch's list of videos, its shards, and each video's result files.

#include "Batch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <set>
#include <strings.h>
#include <sys/stat.h>

namespace {

/* Length of ".avi". */
const std::size_t CV_BATCH_AVI_LENGTH = 4;

bool EndsWithAvi(const std::string& name)
{
    return name.size() > CV_BATCH_AVI_LENGTH &&
           strcasecmp(name.c_str() + name.size() - CV_BATCH_AVI_LENGTH, ".avi") == 0;
}

/* Adds the AVI files of folder; false after a line on standard error when it cannot be read. */
bool AddFolder(const std::string& folder, std::vector<std::string>& videos)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        std::fprintf(stderr, "Cannot read the folder %s: %s\n", folder.c_str(), std::strerror(errno));
        return false;
    }
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    while (const dirent* entry = readdir(dir)) {
        const std::string path = prefix + entry->d_name;
        struct stat info;
        if (EndsWithAvi(entry->d_name) && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            videos.push_back(path);
    }
    closedir(dir);
    return true;
}

/* Adds a video or, for a folder, its videos. */
bool AddInput(const std::string& input, std::vector<std::string>& videos)
{
    struct stat info;
    if (stat(input.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return AddFolder(input, videos);
    // A video that is not there is kept: its run fails and says so, and the others go on.
    videos.push_back(input);
    return true;
}

/* Adds what the list file names, one path per line. */
bool AddList(const std::string& listFile, std::vector<std::string>& videos)
{
    std::ifstream list(listFile);
    if (!list) {
        std::fprintf(stderr, "Cannot read the list %s: %s\n", listFile.c_str(), std::strerror(errno));
        return false;
    }
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] != '#' && !AddInput(line, videos))
            return false;
    }
    return true;
}

/* The file's canonical path, or the path itself for one that cannot be resolved. */
std::string Identity(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

} // namespace

bool CollectVideos(const std::vector<std::string>& inputs, std::vector<std::string>& videos)
{
    std::vector<std::string> named;
    for (const std::string& input : inputs) {
        const bool added =
            input.size() > 1 && input[0] == '@' ? AddList(input.substr(1), named) : AddInput(input, named);
        if (!added)
            return false;
    }
    std::sort(named.begin(), named.end());
    // A video named twice (in a folder and a list, or as "./a.avi" and "a.avi") runs once.
    std::set<std::string> seen;
    videos.clear();
    for (const std::string& path : named)
        if (seen.insert(Identity(path)).second)
            videos.push_back(path);
    return true;
}

std::vector<std::string> SelectShard(const std::vector<std::string>& videos, int shard, int count)
{
    std::vector<std::string> selected;
    for (std::size_t i = static_cast<std::size_t>(shard - 1); i < videos.size();
         i += static_cast<std::size_t>(count))
        selected.push_back(videos[i]);
    return selected;
}

std::string ResultBase(const std::string& video, const std::string& outFolder)
{
    const std::size_t slash = video.rfind('/');
    std::string name = slash == std::string::npos ? video : video.substr(slash + 1);
    if (EndsWithAvi(name))
        name.resize(name.size() - CV_BATCH_AVI_LENGTH);
    if (!outFolder.empty())
        return (outFolder.back() == '/' ? outFolder : outFolder + "/") + name;
    return slash == std::string::npos ? name : video.substr(0, slash + 1) + name;
}

std::string UnfinishedBase(const std::string& finalBase)
{
    return finalBase + ".unfinished";
}

std::vector<std::string> ResultSuffixes(const CvBatchProgram& program, const CvBatchOptions& options)
{
    std::vector<std::string> suffixes{program.dataSuffix};
    if (options.record)
        suffixes.push_back("_out.avi");
    return suffixes;
}

namespace {

bool Newer(const struct stat& a, const struct stat& b)
{
    return a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec > b.st_mtim.tv_sec
                                                : a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

} // namespace

bool ResultsComplete(const CvBatchProgram& program, const CvBatchOptions& options, const CvBatchVideo& video)
{
    struct stat source;
    if (stat(video.path.c_str(), &source) != 0)
        return false;
    struct stat memory;
    const bool memoryCounts = program.usesMemory && stat(options.memoryFile.c_str(), &memory) == 0;
    for (const std::string& suffix : ResultSuffixes(program, options)) {
        struct stat result;
        if (stat((video.finalBase + suffix).c_str(), &result) != 0 || !S_ISREG(result.st_mode) ||
            !Newer(result, source) || (memoryCounts && !Newer(result, memory)))
            return false;
    }
    return true;
}
