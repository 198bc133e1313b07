#include "PyMemory.h"

#include "FileRows.h"
#include "Frames.h"
#include "GreyPipeline.h"
#include "LanescopeSettings.h"
#include "MemoryFile.h"
#include "MemoryFileFolder.h"
#include "MemoryFileSession.h"
#include "PyErrors.h"
#include "Reports.h"

#include <pybind11/pybind11.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace py = pybind11;

CvAssociativeMemory& CvPyMemory::Open()
{
    if (!memory)
        throw py::value_error("the memory is closed");
    return *memory;
}

std::shared_ptr<CvPyMemory> CreateMemory(int width, int height)
{
    // Create trusts its sizes to fit its 32-bit arithmetic, as the programs' areas do; one from Python may
    // not, and is refused before it is made.
    CvAMContext sizing = CvAMContext();
    if (!sizing.SetSizes(width, height, 0))
        throw py::value_error("no memory can be made for an area of " + std::to_string(width) + " x " +
                              std::to_string(height) + ": it is too large");
    auto made = std::make_shared<CvPyMemory>();
    made->memory.reset(new CvAssociativeMemory);
    CvReportScope reports;
    made->memory->Create(width, height, 0);
    reports.ThrowIfReported();
    if (!made->memory->root)
        throw py::value_error("no memory can be made for an area of " + std::to_string(width) + " x " +
                              std::to_string(height));
    return made;
}

std::shared_ptr<CvPyMemory> LoadMemory(const std::string& path)
{
    auto loaded = std::make_shared<CvPyMemory>();
    loaded->memory.reset(new CvAssociativeMemory);
    CvMemoryFileStatus status{CV_MF_MISSING, 0};
    bool read = false;
    {
        py::gil_scoped_release release;
        CvReportScope reports;
        // A library prints nothing: standard output belongs to the caller's program.
        read = LoadMemoryFile(*loaded->memory, path.c_str(), &status, NULL);
    }
    if (read)
        return loaded;
    if (status.state == CV_MF_MISSING) {
        PyErr_SetString(PyExc_FileNotFoundError, ("no memory file " + path).c_str());
        throw py::error_already_set();
    }
    throw CvMemoryFileError(path + " could not be used (" + DescribeMemoryFileStatus(status) + ")");
}

namespace {

/* Whether what is at path may be replaced by a memory file: nothing, or a regular file that is empty or
   starts like a memory file. Anything else is someone's data that a mistyped name must not destroy. */
bool MayReplace(const std::string& path, std::string& why)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return true;
    if (S_ISDIR(info.st_mode)) {
        why = "it is a directory";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "it is not a regular file";
        return false;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return true; // the save itself says why it cannot replace the file
    char start[3] = {0};
    const ssize_t got = read(fd, start, sizeof start);
    close(fd);
    if (got == 0 || (got == static_cast<ssize_t>(sizeof start) && std::memcmp(start, "AMv", 3) == 0))
        return true;
    why = "it is not a memory file";
    return false;
}

} // namespace

void SaveMemory(CvPyMemory& memory, const std::string& path)
{
    std::string failure;
    {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> hold(memory.lock);
        memory.Open();
        {
            CvMemoryFileLock lock;
            std::string why;
            if (LockMemoryFile(lock, path.c_str()) == CV_MF_IN_USE) {
                failure = path + " is in use by a Lanescope run or by LanescopeTeacher; nothing was written";
            } else if (!MayReplace(path, why)) {
                failure = path + " was not replaced (" + why + ")";
            } else {
                CvReportScope reports;
                std::string saveFailure;
                SaveMemoryFile(*memory.memory, path.c_str(), &saveFailure);
                if (!saveFailure.empty())
                    failure = "the memory could not be saved to " + path + " (" + saveFailure + "); " + path +
                              " is left as it was";
            }
            UnlockMemoryFile(lock);
        }
    }
    if (!failure.empty())
        throw CvMemoryFileError(failure);
}

void CloseMemory(CvPyMemory& memory)
{
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> hold(memory.lock);
    memory.memory.reset();
    memory.turned.release();
    memory.grey.release();
}

void TeachMemory(CvPyMemory& memory, const cv::Mat& frame, cv::Rect rect, int type, bool upsideDown)
{
    if (type < 1 || type > CV_LS_TYPE_COUNT)
        throw py::value_error("a type is 1 to " + std::to_string(CV_LS_TYPE_COUNT) + ", not " +
                              std::to_string(type));
    if (upsideDown)
        rect.y = FlippedTop(rect.y, rect.height, frame.rows);
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> hold(memory.lock);
    CvAssociativeMemory& m = memory.Open();
    CvReportScope reports;
    IplImage bgr = cvIplImage(AnalysedBgr(frame, upsideDown, memory.turned));
    memory.grey.create(frame.size(), CV_8UC1);
    IplImage grey = cvIplImage(memory.grey);
    PrepareGreyImage(&bgr, &grey);
    m.SetImage(&grey);
    const CvRect area = cvRect(rect.x, rect.y, rect.width, rect.height);
    m.Write(area, &type);
    m.Read(area);
    reports.ThrowIfReported();
}
