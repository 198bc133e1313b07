// Any bytes as the memory file: the load falls back or rebuilds a memory that saves and loads again.
#include "FuzzSupport.h"
#include "MemoryFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string directory;

/* Removes the files under test and their directory when the fuzzer ends. */
void RemoveDirectory()
{
    for (const char* leaf : {"/am.dat", "/again.dat"})
        unlink((directory + leaf).c_str());
    rmdir(directory.c_str());
}

/* A private directory for the files under test, made once per process. */
std::string FileName(const char* leaf)
{
    if (directory.empty()) {
        std::string pattern = "/tmp/memoryfilefuzzXXXXXX";
        FuzzCheck(mkdtemp(&pattern[0]) != NULL, "a temporary directory");
        directory = pattern;
        std::atexit(RemoveDirectory);
    }
    return directory + "/" + leaf;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The packed data image follows the file's 11-byte header.
    if (size > 11 && FuzzTooLarge(data + 11, size - 11))
        return 0;
    const std::string name = FileName("am.dat");
    FILE* file = std::fopen(name.c_str(), "wb");
    FuzzCheck(file != NULL, "the input file opens");
    FuzzCheck(std::fwrite(data, 1, size, file) == size, "the input is written");
    std::fclose(file);

    CvAssociativeMemory memory;
    if (!LoadMemoryFile(memory, name.c_str())) {
        FuzzCheck(memory.root == NULL, "a refused file leaves the memory uncreated");
        return 0;
    }
    FuzzExercise(memory);
    const std::string again = FileName("again.dat");
    SaveMemoryFile(memory, again.c_str());
    CvAssociativeMemory reloaded;
    FuzzCheck(LoadMemoryFile(reloaded, again.c_str()), "a saved file loads");
    FuzzCheck(reloaded.context.baseCount == memory.context.baseCount &&
                  reloaded.context.baseIndex == memory.context.baseIndex &&
                  reloaded.context.accessCount == memory.context.accessCount,
              "the saved file holds the memory");
    return 0;
}
