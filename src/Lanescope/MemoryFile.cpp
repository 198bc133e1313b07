#include "MemoryFile.h"

#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

const char CV_AM_FILE_SIGNATURE[7] = {'A', 'M', 'v', '0', '.', '3', '\0'};
const char CV_AM_FILE_SIGNATURE_OLD[7] = {'A', 'M', 'v', '0', '.', '2', '\0'};

namespace {

/* Offset of the packed size in the header. */
const int CV_AM_FILE_SIZE_FIELD = 7;

uint32_t GetU32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

/* Permission bits for the new file: those of the file it replaces, else what a newly created file gets. */
mode_t NewFileMode(const char* fileName)
{
    struct stat info;
    if (stat(fileName, &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 0777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

/* Makes a completed rename survive a crash of the machine; a failure here loses nothing already written. */
void SyncDirectory(const char* fileName)
{
    const char* slash = std::strrchr(fileName, '/');
    const std::string directory =
        slash ? std::string(fileName, static_cast<size_t>(slash - fileName) + 1) : ".";
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

/* Writes header and data into a new file beside fileName and renames it over fileName once every byte is
   on disk, so that a crash or a full disk can never leave a truncated file; on any failure the new file is
   removed and the old one stays as it was. A symbolic link at fileName is replaced, not followed. */
bool ReplaceFile(const char* fileName, const unsigned char* header, const unsigned char* data, size_t size)
{
    // A file its owner made read-only keeps its content, as it would when opened for writing.
    if (access(fileName, F_OK) == 0 && access(fileName, W_OK) != 0)
        return false;
    std::string pattern = std::string(fileName) + ".XXXXXX";
    std::vector<char> tempName(pattern.begin(), pattern.end());
    tempName.push_back('\0');
    const int fd = mkstemp(tempName.data());
    if (fd < 0)
        return false;
    fchmod(fd, NewFileMode(fileName));
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(tempName.data());
        return false;
    }
    bool written =
        std::fwrite(header, 1, CV_AM_FILE_HEADER, file) == static_cast<size_t>(CV_AM_FILE_HEADER) &&
        std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0 && fsync(fd) == 0;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(tempName.data(), fileName) != 0) {
        unlink(tempName.data());
        return false;
    }
    SyncDirectory(fileName);
    return true;
}

} // namespace

bool LoadMemoryFile(CvAssociativeMemory& memory, const char* fileName)
{
    if (!fileName)
        return false;
    FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return false;
    unsigned char header[CV_AM_FILE_HEADER] = {0};
    const bool wholeHeader = std::fread(header, 1, sizeof header, file) == sizeof header;
    // Comparing all seven bytes, the zero included, compares the field as a string without reading past it.
    if (std::memcmp(header, CV_AM_FILE_SIGNATURE, sizeof CV_AM_FILE_SIGNATURE) != 0 &&
        std::memcmp(header, CV_AM_FILE_SIGNATURE_OLD, sizeof CV_AM_FILE_SIGNATURE_OLD) != 0) {
        std::fclose(file);
        return false;
    }
    if (!wholeHeader) {
        std::fclose(file);
        return false;
    }
    const uint32_t packedSize = GetU32(header + CV_AM_FILE_SIZE_FIELD);
    // A size the file cannot hold is refused before anything is allocated for it.
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<uint64_t>(info.st_size) < CV_AM_FILE_HEADER + static_cast<uint64_t>(packedSize)) {
        std::fclose(file);
        return false;
    }
    void* buffer = NULL;
    try {
        buffer = cvAlloc(packedSize > 0 ? packedSize : 1);
    } catch (const cv::Exception&) {
        // A size that cannot be allocated is one more unusable file.
        std::fclose(file);
        return false;
    }
    if (std::fread(buffer, 1, packedSize, file) != packedSize) {
        cvFree_(buffer);
        std::fclose(file);
        return false;
    }
    std::fclose(file);
    const bool read = memory.ReadPackedData(buffer, packedSize);
    cvFree_(buffer);
    if (!read)
        return false;

    const CvAMContext& c = memory.context;
    std::printf(
        "\n  Load associative bases from file: %s\nAssociative bases ......... %-7lu\nAssociative Levels "
        "........ %-7u\nCurrent base index ........ %-7" PRIu64 "\nWr/Rd counter ............. %-7" PRIu64
        "\n\n",
        fileName, static_cast<unsigned long>(static_cast<uint32_t>(c.baseCount)),
        static_cast<unsigned>(static_cast<int>(c.deepestLevel)), c.baseIndex, c.accessCount);
    return true;
}

void SaveMemoryFile(CvAssociativeMemory& memory, const char* fileName)
{
    if (!fileName || !memory.root)
        return;
    memory.root->Prune();

    // The image plus the feature bytes of every base deleted since the memory was made.
    const int64_t packedSize = 40 * (static_cast<int64_t>(memory.context.baseCount) + 1) +
                               static_cast<int64_t>(memory.context.dataSize);
    // A size the header cannot state would make an unreadable file; the old one is worth more.
    if (memory.context.dataSize < 0 || packedSize > static_cast<int64_t>(UINT32_MAX))
        return;
    unsigned char* buffer = static_cast<unsigned char*>(cvAlloc(static_cast<size_t>(packedSize)));
    std::memset(buffer, 0, static_cast<size_t>(packedSize));
    memory.WritePackedData(buffer);

    unsigned char header[CV_AM_FILE_HEADER];
    std::memcpy(header, CV_AM_FILE_SIGNATURE, sizeof CV_AM_FILE_SIGNATURE);
    PutU32(header + CV_AM_FILE_SIZE_FIELD, static_cast<uint32_t>(packedSize));
    ReplaceFile(fileName, header, buffer, static_cast<size_t>(packedSize));
    cvFree_(buffer);
}
