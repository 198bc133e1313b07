#include "MemoryFile.h"

#include "FreshFile.h"
#include "PackedFormat.h"

#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
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

/* The folder that holds fileName: "." for a bare name. */
std::string FolderOf(const char* fileName)
{
    const char* slash = std::strrchr(fileName, '/');
    return slash ? std::string(fileName, static_cast<size_t>(slash - fileName) + 1) : ".";
}

/* Makes a completed rename survive a crash of the machine; a failure here loses nothing already written. */
void SyncDirectory(const char* fileName)
{
    const int fd = open(FolderOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

/* Writes size bytes at offset, going on after partial writes; false with errno set on a failure. */
bool WriteAt(int fd, const unsigned char* bytes, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t n = pwrite(fd, bytes, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

/* Rewrites fileName itself, for a folder that cannot take a new file beside it. The room for the new
   content is claimed before the first byte changes, so that a full disk still leaves the old content
   whole. A link is never written through. Returns why it failed, or nothing. */
std::string RewriteInPlace(const char* fileName, const unsigned char* header, const unsigned char* data,
                           size_t size)
{
    const int fd = open(fileName, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    const off_t total = static_cast<off_t>(CV_AM_FILE_HEADER + size);
    struct stat info;
    int error = 0;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        error = EINVAL;
    else if (total > info.st_size)
        error = posix_fallocate(fd, 0, total);
    if (error == 0 &&
        !(WriteAt(fd, header, CV_AM_FILE_HEADER, 0) && WriteAt(fd, data, size, CV_AM_FILE_HEADER) &&
          ftruncate(fd, total) == 0 && fsync(fd) == 0))
        error = errno != 0 ? errno : EIO;
    close(fd);
    return error == 0 ? "" : std::strerror(error);
}

/* Writes header and data into a new file beside fileName and renames it over fileName once every byte is
   on disk, so that a crash or a full disk can never leave a truncated file; on any failure the new file is
   removed and the old one stays as it was. A symbolic link at fileName is replaced, not followed. A folder
   that cannot take the new file gets fileName rewritten in place when that file may be written. Returns
   why the save failed, or nothing. */
std::string ReplaceFile(const char* fileName, const unsigned char* header, const unsigned char* data,
                        size_t size)
{
    // A file its owner made read-only keeps its content, as it would when opened for writing.
    if (access(fileName, F_OK) == 0 && access(fileName, W_OK) != 0)
        return std::strerror(errno);
    std::string tempName = std::string(fileName) + ".XXXXXX";
    const int fd = cvcompat::CreateFreshFile(tempName, 0, NewFileMode(fileName));
    if (fd < 0) {
        const int error = errno;
        struct stat info;
        if (lstat(fileName, &info) == 0 && S_ISREG(info.st_mode))
            return RewriteInPlace(fileName, header, data, size);
        return std::strerror(error);
    }
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        unlink(tempName.c_str());
        return std::strerror(error);
    }
    errno = 0;
    bool written =
        std::fwrite(header, 1, CV_AM_FILE_HEADER, file) == static_cast<size_t>(CV_AM_FILE_HEADER) &&
        std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0 && fsync(fd) == 0;
    int error = errno;
    written = std::fclose(file) == 0 && written;
    if (written && std::rename(tempName.c_str(), fileName) != 0)
        written = false;
    if (!written) {
        error = error != 0 ? error : errno;
        unlink(tempName.c_str());
        return std::strerror(error != 0 ? error : EIO);
    }
    SyncDirectory(fileName);
    return "";
}

/* Sets *status when it is given; true when the state is a read memory. */
bool Outcome(CvMemoryFileStatus* status, CvMemoryFileState state, int error = 0)
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

/* The console report of a memory read from fileName. */
void PrintLoadReport(const char* fileName, const CvAMContext& c)
{
    std::printf(
        "\n  Load associative bases from file: %s\nAssociative bases ......... %-7lu\nAssociative Levels "
        "........ %-7u\nCurrent base index ........ %-7" PRIu64 "\nWr/Rd counter ............. %-7" PRIu64
        "\n\n",
        fileName, static_cast<unsigned long>(static_cast<uint32_t>(c.baseCount)),
        static_cast<unsigned>(static_cast<int>(c.deepestLevel)), c.baseIndex, c.accessCount);
}

/* Why a file could not be used, as a clause for the start-up message. */
std::string Describe(const CvMemoryFileStatus& status)
{
    switch (status.state) {
    case CV_MF_UNREADABLE:
        return std::string("it cannot be read: ") + std::strerror(status.error);
    case CV_MF_DIRECTORY:
        return "it is a directory";
    case CV_MF_NOT_REGULAR:
        return "it is not a regular file";
    case CV_MF_FOREIGN:
        return "it is not a memory file";
    case CV_MF_UNKNOWN_VERSION:
        return "it is a memory file of an unknown version";
    default:
        return "it is damaged or cut short";
    }
}

/* True for the names that the save gives its new files: the file's own name, a dot and six letters or
   digits. Six lower-case letters or six digits are left alone: they are far likelier a person's word or
   date (".backup", ".202612") than the save's random mix, which is drawn so once in 180 saves. */
bool IsSaveTempName(const std::string& entry, const std::string& leaf)
{
    if (entry.size() != leaf.size() + 7 || entry.compare(0, leaf.size(), leaf) != 0 ||
        entry[leaf.size()] != '.')
        return false;
    size_t lower = 0, digits = 0;
    for (size_t i = leaf.size() + 1; i < entry.size(); i++) {
        const unsigned char c = static_cast<unsigned char>(entry[i]);
        if (!std::isalnum(c))
            return false;
        lower += std::islower(c) != 0;
        digits += std::isdigit(c) != 0;
    }
    return lower < 6 && digits < 6;
}

/* Removes the complete new files that a run killed while saving left beside fileName. */
void RemoveStaleTemps(const char* fileName)
{
    const std::string folder = FolderOf(fileName);
    const char* slash = std::strrchr(fileName, '/');
    const std::string leaf = slash ? slash + 1 : fileName;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const struct dirent* entry = readdir(dir)) {
        const std::string path = folder + "/" + entry->d_name;
        struct stat info;
        if (IsSaveTempName(entry->d_name, leaf) && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            unlink(path.c_str());
    }
    closedir(dir);
}

/* Moves fileName to fileName.unusable-<n>, with the first n whose name is free; the new name, or nothing
   with errno set. An existing file is never replaced. */
std::string MoveAside(const char* fileName)
{
    for (int n = 1; n <= 100000; n++) {
        std::string aside = std::string(fileName) + ".unusable-" + std::to_string(n);
        if (renameat2(AT_FDCWD, fileName, AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return "";
        // A file system that cannot refuse to replace: the name is tested first, and the folder's lock
        // keeps the other runs of the tracker from taking it meanwhile.
        struct stat info;
        if (lstat(aside.c_str(), &info) == 0)
            continue;
        return std::rename(fileName, aside.c_str()) == 0 ? aside : "";
    }
    errno = EEXIST;
    return "";
}

/* Takes the lock of the folder that holds the session's file, for the whole run; a folder locked by another
   run leaves the session without a save. */
void LockFolder(CvMemoryFileSession& session)
{
    // The lock is on the folder, not on the file: the save renames a new file over the old one, so a lock
    // on the file would guard an inode that the first save to end replaces; a missing file must stay
    // missing until a save makes it; and a companion lock file would be left in the folder and could not
    // be made in a read-only one. The folder is there, the same one, for the whole run. A folder that
    // cannot be opened or locked at all is used as before, unguarded.
    session.lockFd = open(FolderOf(session.fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (session.lockFd >= 0 && flock(session.lockFd, LOCK_EX | LOCK_NB) != 0) {
        const bool taken = errno == EWOULDBLOCK;
        close(session.lockFd);
        session.lockFd = -1;
        if (taken) {
            session.save = false;
            std::fprintf(
                stderr,
                "%s is in use by another Lanescope run in this folder; what this run learns will not "
                "be saved\n",
                session.fileName);
        }
    }
}

/* Moves a file that could not be used out of the way of the save, when the session may save, and says
   what became of it. */
void SetAsideUnusable(CvMemoryFileSession& session, const CvMemoryFileStatus& status)
{
    const char* fileName = session.fileName;
    const std::string why = Describe(status);
    if (!session.save) {
        // The folder belongs to the other run; the file stays where it is.
        std::fprintf(stderr, "%s could not be used (%s); a fresh memory is used\n", fileName, why.c_str());
        return;
    }
    const std::string aside = status.state == CV_MF_DIRECTORY ? "" : MoveAside(fileName);
    if (aside.empty()) {
        const std::string kept = status.state == CV_MF_DIRECTORY
                                     ? std::string("it is left as it is")
                                     : std::string("it could not be moved aside (") + std::strerror(errno) +
                                           ") and is left as it is";
        session.save = false;
        std::fprintf(
            stderr,
            "%s could not be used (%s); %s, a fresh memory is used and what this run learns will not "
            "be saved\n",
            fileName, why.c_str(), kept.c_str());
    } else {
        std::fprintf(stderr, "%s could not be used (%s); it is kept as %s and a fresh memory is used\n",
                     fileName, why.c_str(), aside.c_str());
    }
}

} // namespace

bool LoadMemoryFile(CvAssociativeMemory& memory, const char* fileName, CvMemoryFileStatus* status)
{
    if (!fileName)
        return Outcome(status, CV_MF_MISSING);
    ScopedFile file;
    int error = 0;
    CvMemoryFileState state = OpenRegularFile(fileName, &file, &error);
    uint32_t packedSize = 0;
    if (state == CV_MF_READ)
        state = ReadFileHeader(file.get(), &packedSize, &error);
    if (state != CV_MF_READ)
        return Outcome(status, state, error);
    // A size the file cannot hold is refused before anything is allocated for it.
    struct stat info;
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<uint64_t>(info.st_size) < CV_AM_FILE_HEADER + static_cast<uint64_t>(packedSize))
        return Outcome(status, CV_MF_DAMAGED);
    void* buffer = NULL;
    size_t length = 0;
    state = ReadPackedImage(file.get(), packedSize, &buffer, &length, &error);
    file.reset();
    const bool read = state == CV_MF_READ && memory.ReadPackedData(buffer, length);
    if (buffer)
        cvFree_(buffer);
    if (!read)
        return Outcome(status, state == CV_MF_READ ? CV_MF_DAMAGED : state, error);
    PrintLoadReport(fileName, memory.context);
    return Outcome(status, CV_MF_READ);
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
    const std::string why = ReplaceFile(fileName, header, buffer, static_cast<size_t>(packedSize));
    if (failure)
        *failure = why;
    cvFree_(buffer);
}

bool OpenMemoryFile(CvMemoryFileSession& session, CvAssociativeMemory& memory, const char* fileName)
{
    session.fileName = fileName;
    session.lockFd = -1;
    session.save = fileName != NULL;
    if (!fileName)
        return false;
    LockFolder(session);
    if (session.lockFd >= 0)
        RemoveStaleTemps(fileName);

    CvMemoryFileStatus status;
    if (LoadMemoryFile(memory, fileName, &status))
        return true;
    if (status.state != CV_MF_MISSING)
        SetAsideUnusable(session, status);
    return false;
}

bool CloseMemoryFile(CvMemoryFileSession& session, CvAssociativeMemory& memory)
{
    bool saved = false;
    if (session.save) {
        std::string failure;
        SaveMemoryFile(memory, session.fileName, &failure);
        saved = failure.empty();
        if (!failure.empty())
            std::fprintf(stderr,
                         "What was learned in this run could not be saved to %s (%s); %s is left as it was\n",
                         session.fileName, failure.c_str(), session.fileName);
    }
    if (session.lockFd >= 0)
        close(session.lockFd);
    session.lockFd = -1;
    return saved;
}
