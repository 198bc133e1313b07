// The batch tools' command line.

#include "Batch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

/* A whole positive number in 1..most, or 0. */
int PositiveNumber(const char* text, int most)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= 1 && value <= most ? static_cast<int>(value) : 0;
}

/* "K/N" with 1 <= K <= N. */
bool ParseShard(const char* text, CvBatchOptions& options)
{
    const char* slash = std::strchr(text, '/');
    if (!slash)
        return false;
    const std::string shard(text, slash);
    options.shard = PositiveNumber(shard.c_str(), 1000000);
    options.shardCount = PositiveNumber(slash + 1, 1000000);
    return options.shard >= 1 && options.shardCount >= 1 && options.shard <= options.shardCount;
}

/* Takes the option at argv[i] and its value; false when it is not one this tool knows or its value is bad. */
bool TakeOption(const CvBatchProgram& program, int argc, char** argv, int& i, CvBatchOptions& options)
{
    const std::string option = argv[i];
    if (option == "--record" || option == "--force") {
        (option == "--record" ? options.record : options.force) = true;
        return true;
    }
    const bool valued = option == "--out" || option == "--workers" || option == "--shard" ||
                        (option == "--memory" && program.usesMemory);
    if (!valued || i + 1 >= argc || argv[i + 1][0] == '\0')
        return false;
    const char* value = argv[++i];
    if (option == "--out")
        options.outFolder = value;
    else if (option == "--memory")
        options.memoryFile = value;
    else if (option == "--workers")
        return (options.workers = PositiveNumber(value, 4096)) != 0;
    else
        return ParseShard(value, options);
    return true;
}

} // namespace

void PrintBatchHelp(const CvBatchProgram& program)
{
    std::printf("%s: runs %s over many videos, each exactly as a windowless run of it, on all cores.\n\n"
                "%s [options] video.avi | folder | @list.txt ...\n"
                "  a folder gives its .avi files; @list.txt the paths it lists, one per line\n"
                "  --out DIR      write the results into DIR instead of beside each video\n"
                "  --record       write each video's recording <base>_out.avi too\n"
                "  --workers N    videos run at a time (default: one per core)\n"
                "  --force        redo videos whose results are complete (they are skipped otherwise)\n"
                "  --shard K/N    run only the K-th of N shards of the sorted list (1 <= K <= N)\n",
                program.name, program.program, program.name);
    if (program.usesMemory)
        std::printf("  --memory FILE  the memory every video starts from (default am.dat); read once, never "
                    "saved\n");
    std::printf("Each video writes <base>%s; the summary goes to standard output, progress and failures to "
                "standard error.\nExit status: 0 when every video succeeded or was complete, 1 when any "
                "failed, 2 for a bad command line, 130 when stopped.\n",
                program.dataSuffix);
}

bool ParseBatchOptions(const CvBatchProgram& program, int argc, char** argv, CvBatchOptions& options,
                       bool& help)
{
    help = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            help = true;
            return false;
        }
        if (std::strncmp(arg, "--", 2) != 0) {
            options.inputs.push_back(arg);
        } else if (!TakeOption(program, argc, argv, i, options)) {
            std::fprintf(stderr, "%s: bad option %s (see %s --help)\n", program.name, arg, program.name);
            return false;
        }
    }
    if (options.inputs.empty()) {
        std::fprintf(stderr, "%s: no videos given (see %s --help)\n", program.name, program.name);
        return false;
    }
    return true;
}
