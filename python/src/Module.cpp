// lanescope._lanescope: the memory, the tracker and the square finder of Lanescope and Quadfinder for
// Python, over the programs' own library code. The pure-Python package lanescope re-exports it.

#include "Frames.h"
#include "PyErrors.h"
#include "PyMemory.h"
#include "PySquares.h"
#include "PyTracker.h"
#include "Reports.h"

#include <opencv2/core.hpp>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstdlib>
#include <string>

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

/* Coordinates beyond this size are refused before any sum with them could overflow. */
const int CV_PY_COORDINATE_LIMIT = 1 << 24;

/* A file name from a str or an os.PathLike; TypeError for anything else, ValueError for a NUL in it,
   which would name another file. */
std::string PathOf(const py::object& path)
{
    const py::object name = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(name))
        throw py::type_error("a memory file is named by a str or an os.PathLike of one");
    const std::string text = name.cast<std::string>();
    if (text.find('\0') != std::string::npos)
        throw py::value_error("embedded null character in the file name");
    return text;
}

cv::Rect AreaOf(const std::array<int, 4>& rect)
{
    for (int v : rect)
        if (v > CV_PY_COORDINATE_LIMIT || v < -CV_PY_COORDINATE_LIMIT)
            throw py::value_error("the area (x, y, width, height) lies far outside any frame");
    return cv::Rect(rect[0], rect[1], rect[2], rect[3]);
}

py::tuple BoxTuple(const cv::Rect& r)
{
    return py::make_tuple(r.x, r.y, r.width, r.height);
}

const char* EventName(int code)
{
    switch (code) {
    case CV_AM_FRAME_START:
        return "FRAME_START";
    case CV_AM_NOT_RECOGNIZED:
        return "NOT_RECOGNIZED";
    case CV_AM_RECOGNIZED:
        return "RECOGNIZED";
    case CV_AM_TRACKED:
        return "TRACKED";
    case CV_AM_LEARNED:
        return "LEARNED";
    default:
        return "FRAME_END";
    }
}

/* With a held memory's lock: what f returns of it. */
template <typename F> auto WithMemory(CvPyMemory& memory, F f)
{
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> hold(memory.lock);
    return f(memory.Open());
}

void BindErrors(py::module_& m)
{
    static py::exception<CvReportedError>& error =
        py::register_exception<CvReportedError>(m, "Error", PyExc_RuntimeError);
    error.attr("__doc__") =
        "A report of the memory, the tracker or OpenCV, with its text: \"function: message\".";
    py::exception<CvMemoryFileError>& fileError =
        py::register_exception<CvMemoryFileError>(m, "MemoryFileError", PyExc_OSError);
    fileError.attr("__doc__") = "A memory file that cannot be used (left as it is), or a save that did not "
                                "happen (the file left as it was).";
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const cv::Exception& e) {
            PyErr_SetString(error.ptr(), (e.func.empty() ? e.err : e.func + ": " + e.err).c_str());
        }
    });
}

void BindMemory(py::module_& m)
{
    py::class_<CvPyMemory, std::shared_ptr<CvPyMemory>>(
        m, "Memory",
        "Lanescope's associative memory: what it has been taught of each object type, kept in memory files "
        "(\"am.dat\"). Make one with Memory.create or Memory.load. A memory serves one Tracker at a time; "
        "every operation is safe from any thread.")
        .def_static("create", &CreateMemory, "width"_a, "height"_a,
                    "A fresh memory for an interest area of width x height pixels (each side at least 40).")
        .def_static(
            "load", [](const py::object& path) { return LoadMemory(PathOf(path)); }, "path"_a,
            "The memory kept in the memory file at path (read as Lanescope reads it, without its report). "
            "FileNotFoundError when there is none; MemoryFileError when the file cannot be used (a "
            "directory, "
            "not a memory file, damaged), which is then left as it is.")
        .def(
            "save", [](CvPyMemory& memory, const py::object& path) { SaveMemory(memory, PathOf(path)); },
            "path"_a,
            "Prunes the memory as Lanescope does at its end and replaces the memory file at path with it, "
            "whole "
            "or not at all. MemoryFileError while a Lanescope run or LanescopeTeacher holds the file's "
            "folder, "
            "when path holds something else than a memory file, or when the save fails; the old file is then "
            "left as it was.")
        .def(
            "teach",
            [](CvPyMemory& memory, const py::buffer& frame, const std::array<int, 4>& rect, int type,
               bool upsideDown) {
                const CvPyFrame view = ViewFrame(frame);
                TeachMemory(memory, view.image, AreaOf(rect), type, upsideDown);
            },
            "frame"_a, "rect"_a, "type"_a, "upside_down"_a = false,
            "Teaches the area rect = (x, y, width, height) of frame (a BGR or grey uint8 image) as type 1 to "
            "256, as Lanescope's training frame does. upside_down=True turns the frame as the programs turn "
            "theirs (rect stays in the frame's own rows): a memory taught so serves Lanescope on the same "
            "video. Error with the memory's report when it refuses the area.")
        .def_property_readonly(
            "bases",
            [](CvPyMemory& memory) {
                return WithMemory(memory, [](CvAssociativeMemory& am) { return am.context.baseCount; });
            },
            "The number of associative bases, the root included.")
        .def_property_readonly(
            "area",
            [](CvPyMemory& memory) {
                return WithMemory(memory, [](CvAssociativeMemory& am) {
                    return std::make_pair(int(am.context.width), int(am.context.height));
                });
            },
            "The interest area (width, height) the memory was made for.")
        .def_property_readonly(
            "closed", [](CvPyMemory& memory) { return !memory.memory; }, "True once the memory is closed.")
        .def("close", &CloseMemory, "Releases the memory; every later use raises ValueError.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](CvPyMemory& memory, py::args) { CloseMemory(memory); });
}

void BindTracker(py::module_& m)
{
    py::class_<CvPyTrack>(m, "Track", "A live track: id, type, box (x, y, width, height), confidence.")
        .def_readonly("id", &CvPyTrack::id,
                      "Stays with the track for its life and is never given to another.")
        .def_readonly("type", &CvPyTrack::type, "The object type, 1 to 256, as taught.")
        .def_property_readonly(
            "box", [](const CvPyTrack& t) { return BoxTuple(t.box); },
            "(x, y, width, height) in the frame's own coordinates.")
        .def_readonly("confidence", &CvPyTrack::confidence, "The track's confidence after the step, 0 to 1.")
        .def("__repr__", [](const CvPyTrack& t) {
            return "Track(id=" + std::to_string(t.id) + ", type=" + std::to_string(t.type) + ", box=(" +
                   std::to_string(t.box.x) + ", " + std::to_string(t.box.y) + ", " +
                   std::to_string(t.box.width) + ", " + std::to_string(t.box.height) +
                   "), confidence=" + py::repr(py::float_(t.confidence)).cast<std::string>() + ")";
        });

    py::class_<CvPyEvent>(
        m, "Event",
        "One event of a tracking step: code (FRAME_START, NOT_RECOGNIZED, RECOGNIZED, TRACKED, "
        "LEARNED, FRAME_END), name, and for all but the first and last: type, box, "
        "confidence, bases.")
        .def_readonly("code", &CvPyEvent::code, "The event code, one of the module's constants.")
        .def_property_readonly(
            "name", [](const CvPyEvent& e) { return EventName(e.code); }, "The event code's name.")
        .def_property_readonly(
            "type", [](const CvPyEvent& e) { return e.hasInfo ? py::object(py::int_(e.type)) : py::none(); },
            "The data value (object type) the event carries, or None.")
        .def_property_readonly(
            "box", [](const CvPyEvent& e) { return e.hasInfo ? py::object(BoxTuple(e.box)) : py::none(); },
            "The window, detection or track (x, y, width, height) in the frame's own coordinates, or None.")
        .def_readonly("confidence", &CvPyEvent::confidence, "The read's, the mean or the track's confidence.")
        .def_readonly("bases", &CvPyEvent::bases, "The memory's base count at the time.")
        .def("__repr__", [](const CvPyEvent& e) { return std::string("Event(") + EventName(e.code) + ")"; });

    py::class_<CvPyTracker, std::shared_ptr<CvPyTracker>>(
        m, "Tracker",
        "Lanescope's tracker over a memory: track(frame) runs one tracking step. Steps release the GIL, so "
        "trackers over different memories run side by side in threads.")
        .def(py::init(&CreateTracker), "memory"_a, "upside_down"_a = false,
             "A tracker over memory, which serves no other open tracker. upside_down=True turns every frame "
             "as "
             "Lanescope turns its frames and gives boxes back in the frame's own coordinates: with a memory "
             "taught by Lanescope or LanescopeTeacher, the tracks then equal Lanescope's tracks file.")
        .def(
            "track",
            [](CvPyTracker& tracker, const py::buffer& frame) {
                const CvPyFrame view = ViewFrame(frame);
                return TrackFrame(tracker, view.image);
            },
            "frame"_a,
            "One tracking step on frame (a BGR or grey uint8 image, every frame of one size), prepared "
            "exactly "
            "as Lanescope prepares its frames; the live tracks after it, as a list of Track.")
        .def_property_readonly("events", &LastEvents, "The events of the last step, as a list of Event.")
        .def_property_readonly(
            "work_ms", [](const CvPyTracker& t) { return t.workMs; },
            "Milliseconds the last step spent on its own work, the work Lanescope does for a frame: turning "
            "the frame when asked, the grey image and the tracking step (the rest of track() is Python's).")
        .def_property_readonly(
            "upside_down", [](const CvPyTracker& t) { return t.upsideDown; },
            "Whether frames are turned as the programs turn theirs.")
        .def("close", &CloseTracker,
             "Gives the memory back for another tracker; later steps raise ValueError.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](CvPyTracker& tracker, py::args) { CloseTracker(tracker); });
}

void BindSquares(py::module_& m)
{
    m.def(
        "find_squares",
        [](const py::buffer& frame, bool upsideDown) {
            const CvPyFrame view = ViewFrame(frame);
            std::vector<CvPySquare> squares;
            {
                py::gil_scoped_release release;
                squares = FindFrameSquares(view.image, upsideDown);
            }
            py::list result;
            for (const CvPySquare& s : squares)
                result.append(py::make_tuple(py::make_tuple(s[0].x, s[0].y), py::make_tuple(s[1].x, s[1].y),
                                             py::make_tuple(s[2].x, s[2].y), py::make_tuple(s[3].x, s[3].y)));
            return result;
        },
        "frame"_a, "upside_down"_a = false,
        "The squares Quadfinder finds in frame (a BGR or grey uint8 image): a list of 4 corners ((x, y), "
        "...) "
        "each, in the order found. upside_down=True turns the frame as Quadfinder does, so that the corners "
        "equal Quadfinder's squares file. Releases the GIL.");
}

} // namespace

PYBIND11_MODULE(_lanescope, m)
{
    m.doc() = "Lanescope's memory and tracker and Quadfinder's square finder, over the programs' own code.";
    InstallReportHandler();
    BindErrors(m);
    BindMemory(m);
    BindTracker(m);
    BindSquares(m);
    m.attr("FRAME_START") = int(CV_AM_FRAME_START);
    m.attr("NOT_RECOGNIZED") = int(CV_AM_NOT_RECOGNIZED);
    m.attr("RECOGNIZED") = int(CV_AM_RECOGNIZED);
    m.attr("TRACKED") = int(CV_AM_TRACKED);
    m.attr("LEARNED") = int(CV_AM_LEARNED);
    m.attr("FRAME_END") = int(CV_AM_FRAME_END);
}
