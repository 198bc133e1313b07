#include "OutputFiles.h"

#include "FreshFile.h"

#include <cstdio>
#include <sys/stat.h>

void ReportUnfinishedFiles(const std::string& path)
{
    for (const std::string& name : cvcompat::FindUnfinishedFiles(path)) {
        std::fflush(stdout);
        std::fprintf(
            stderr,
            "An earlier run ended before finishing %s; what it wrote is in %s, which is left as it is.\n",
            path.c_str(), name.c_str());
    }
}

std::string DescribeKeptFile(const std::string& path, const std::string& keptAs, const char* whose)
{
    struct stat info;
    std::string text;
    if (lstat(path.c_str(), &info) == 0)
        text = "the earlier " + path + " is kept, and ";
    return text + whose + " is kept as " + keptAs;
}
