#include "MemoryFile.h"

#include "FreshFile.h"
#include "MemoryFileFolder.h"
#include "PackedFormat.h"
#include "SafeReplace.h"

#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

const char CV_AM_FILE_SIGNATURE[7] = {'A', 'M', 'v', '0', '.', '3', '\0'};
const char CV_AM_FILE_SIGNATURE_OLD[7] = {'A', 'M', 'v', '0', '.', '2', '\0'};

namespace {

/* Offset of the packed size in the header. */
const int CV_AM_FILE_SIZE_FIELD = 7;

/* Permission bits for the new file: those of the file it replaces, else what a newly created file gets. */
mode_t NewFileMode(const char* fileName)
{
    struct stat info;
    if (stat(fileName, &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 0777;
    return cvcompat::DefaultFileMode();
}

/* Ends a load in state: sets *status when it is given; true when the state is a read memory. */
bool EndLoad(CvMemoryFileStatus* status, CvMemoryFileState state, int error = 0)
{
    if (status)
        *status = CvMemoryFileStatus{state, error};
    return state == CV_MF_READ;
}

/* Reads exactly size bytes; otherwise the state of the file that gave fewer. */
CvMemoryFileState ReadExactly(FILE* file, void* buffer, size_t size, int* error)
{
    if (std::fread(buffer, 1, size, file) == size)
        return CV_MF_READ;
    *error = errno;
    return std::ferror(file) ? CV_MF_UNREADABLE : CV_MF_DAMAGED;
}

/* Closes a stream when its owner goes out of scope. */
struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
typedef std::unique_ptr<FILE, FileCloser> ScopedFile;

/* Opens fileName for reading into *file when it is a regular file; otherwise the state that says why not. */
CvMemoryFileState OpenRegularFile(const char* fileName, ScopedFile* file, int* error)
{
    // A named pipe would hold the start-up until some writer came, a device could act on being opened: only
    // a regular file is opened, and without waiting, in case the name changed hands since it was looked at.
    struct stat info;
    if (stat(fileName, &info) != 0) {
        *error = errno;
        return errno == ENOENT ? CV_MF_MISSING : CV_MF_UNREADABLE;
    }
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? CV_MF_DIRECTORY : CV_MF_NOT_REGULAR;
    const int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return CV_MF_UNREADABLE;
    }
    file->reset(fdopen(fd, "rb"));
    if (!*file) {
        *error = errno;
        close(fd);
        return CV_MF_UNREADABLE;
    }
    return CV_MF_READ;
}

/* Reads the file header and takes the packed size from it; otherwise the state of a file whose header is
   not that of a memory file of a version that is read. */
CvMemoryFileState ReadFileHeader(FILE* file, uint32_t* packedSize, int* error)
{
    unsigned char header[CV_AM_FILE_HEADER] = {0};
    const size_t got = std::fread(header, 1, sizeof header, file);
    const bool readError = std::ferror(file) != 0;
    // Comparing all seven bytes, the zero included, compares the field as a string without reading past it.
    if (std::memcmp(header, CV_AM_FILE_SIGNATURE, sizeof CV_AM_FILE_SIGNATURE) != 0 &&
        std::memcmp(header, CV_AM_FILE_SIGNATURE_OLD, sizeof CV_AM_FILE_SIGNATURE_OLD) != 0) {
        const size_t start = std::min(got, sizeof CV_AM_FILE_SIGNATURE);
        if (readError) {
            *error = EIO;
            return CV_MF_UNREADABLE;
        }
        // A file cut inside its signature is a damaged memory file, not a foreign one.
        if (got < sizeof header && (std::memcmp(header, CV_AM_FILE_SIGNATURE, start) == 0 ||
                                    std::memcmp(header, CV_AM_FILE_SIGNATURE_OLD, start) == 0))
            return CV_MF_DAMAGED;
        return std::memcmp(header, "AMv", 3) == 0 ? CV_MF_UNKNOWN_VERSION : CV_MF_FOREIGN;
    }
    if (got != sizeof header) {
        *error = EIO;
        return readError ? CV_MF_UNREADABLE : CV_MF_DAMAGED;
    }
    *packedSize = GetU32(header + CV_AM_FILE_SIZE_FIELD);
    return CV_MF_READ;
}

/* Reads the packed data image that follows the file header into a new cvAlloc buffer of *length bytes. The
   image's own header bounds what it can take of the packed size, so that a file that claims more than it
   holds (a sparse one, say) costs no more than its image; the spare bytes are not read. */
CvMemoryFileState ReadPackedImage(FILE* file, uint32_t packedSize, void** buffer, size_t* length, int* error)
{
    unsigned char recordHeader[CV_AM_PACKED_HEADER] = {0};
    const size_t headerBytes = std::min<size_t>(packedSize, sizeof recordHeader);
    CvMemoryFileState state = ReadExactly(file, recordHeader, headerBytes, error);
    const size_t limit = CvAssociativeMemory::GetPackedDataLimit(recordHeader, packedSize);
    *length = limit > 0 ? limit : headerBytes;
    *buffer = NULL;
    try {
        *buffer = state == CV_MF_READ ? cvAlloc(std::max<size_t>(*length, 1)) : NULL;
    } catch (const cv::Exception&) {
        // A size that cannot be allocated is one more unusable file.
        state = CV_MF_DAMAGED;
    }
    if (*buffer) {
        std::memcpy(*buffer, recordHeader, headerBytes);
        state = ReadExactly(file, static_cast<unsigned char*>(*buffer) + headerBytes, *length - headerBytes,
                            error);
    }
    return state;
}

/* The console report of a memory read from fileName, onto out. */
void PrintLoadReport(std::FILE* out, const char* fileName, const CvAMContext& c)
{
    std::fprintf(
        out,
        "\n  Load associative bases from file: %s\nAssociative bases ......... %-7lu\nAssociative Levels "
        "........ %-7u\nCurrent base index ........ %-7" PRIu64 "\nWr/Rd counter ............. %-7" PRIu64
        "\n\n",
        fileName, static_cast<unsigned long>(static_cast<uint32_t>(c.baseCount)),
        static_cast<unsigned>(static_cast<int>(c.deepestLevel)), c.baseIndex, c.accessCount);
}

} // namespace

bool LoadMemoryFile(CvAssociativeMemory& memory, const char* fileName, CvMemoryFileStatus* status,
                    std::FILE* report)
{
    if (!fileName)
        return EndLoad(status, CV_MF_MISSING);
    ScopedFile file;
    int error = 0;
    CvMemoryFileState state = OpenRegularFile(fileName, &file, &error);
    uint32_t packedSize = 0;
    if (state == CV_MF_READ)
        state = ReadFileHeader(file.get(), &packedSize, &error);
    if (state != CV_MF_READ)
        return EndLoad(status, state, error);
    // A size the file cannot hold is refused before anything is allocated for it.
    struct stat info;
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<uint64_t>(info.st_size) < CV_AM_FILE_HEADER + static_cast<uint64_t>(packedSize))
        return EndLoad(status, CV_MF_DAMAGED);
    void* buffer = NULL;
    size_t length = 0;
    state = ReadPackedImage(file.get(), packedSize, &buffer, &length, &error);
    file.reset();
    const bool read = state == CV_MF_READ && memory.ReadPackedData(buffer, length);
    if (buffer)
        cvFree_(buffer);
    if (!read)
        return EndLoad(status, state == CV_MF_READ ? CV_MF_DAMAGED : state, error);
    if (report)
        PrintLoadReport(report, fileName, memory.context);
    return EndLoad(status, CV_MF_READ);
}

void SaveMemoryFile(CvAssociativeMemory& memory, const char* fileName, std::string* failure)
{
    if (failure)
        failure->clear();
    if (!fileName || !memory.root)
        return;
    memory.root->Prune();

    // The image plus the feature bytes of every base deleted since the memory was made.
    const int64_t packedSize = GetPackedDataSize(memory.context);
    // A size the header cannot state would make an unreadable file; the old one is worth more.
    if (memory.context.dataSize < 0 || packedSize > static_cast<int64_t>(UINT32_MAX)) {
        if (failure)
            *failure = "the memory is too large for the file's size field";
        return;
    }
    unsigned char* buffer = static_cast<unsigned char*>(cvAlloc(static_cast<size_t>(packedSize)));
    std::memset(buffer, 0, static_cast<size_t>(packedSize));
    memory.WritePackedData(buffer);

    unsigned char header[CV_AM_FILE_HEADER];
    std::memcpy(header, CV_AM_FILE_SIGNATURE, sizeof CV_AM_FILE_SIGNATURE);
    PutU32(header + CV_AM_FILE_SIZE_FIELD, static_cast<uint32_t>(packedSize));
    const std::string saved = SavedFileOf(fileName);
    int error = errno;
    if (!saved.empty()) {
        struct iovec parts[2] = {{header, sizeof header}, {buffer, static_cast<size_t>(packedSize)}};
        error = cvcompat::ReplaceFile(saved, SaveTempPattern(saved), NewFileMode(saved.c_str()), parts, 2);
    }
    if (failure && error != 0)
        *failure = std::strerror(error);
    cvFree_(buffer);
}
