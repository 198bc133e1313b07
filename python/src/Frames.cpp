#include "Frames.h"

#include <opencv2/imgproc.hpp>

#include <climits>
#include <string>

namespace py = pybind11;

namespace {

std::string Strides(const py::buffer_info& info)
{
    std::string text;
    for (py::ssize_t stride : info.strides)
        text += (text.empty() ? "" : ", ") + std::to_string(stride);
    return "(" + text + ")";
}

} // namespace

CvPyFrame ViewFrame(const py::buffer& frame)
{
    CvPyFrame view{frame.request(), cv::Mat()};
    const py::buffer_info& info = view.info;
    if (info.itemsize != 1 || (info.format != "B" && info.format != "=B" && info.format != "<B" &&
                               info.format != ">B" && info.format != "@B"))
        throw py::type_error("a frame holds 8-bit unsigned values (numpy.uint8), not values of format '" +
                             info.format + "'");
    const py::ssize_t channels = info.ndim == 3 ? info.shape[2] : 1;
    if ((info.ndim != 2 && info.ndim != 3) || (channels != 1 && channels != 3))
        throw py::value_error("a frame is rows x cols (grey) or rows x cols x 3 (BGR); this one has " +
                              std::to_string(info.ndim) + " dimensions" +
                              (info.ndim == 3 ? " and " + std::to_string(channels) + " channels" : ""));
    const py::ssize_t rows = info.shape[0], cols = info.shape[1];
    if (rows <= 0 || cols <= 0)
        throw py::value_error("the frame is empty (" + std::to_string(rows) + " x " + std::to_string(cols) +
                              ")");
    if (rows > INT_MAX / 4 || cols > INT_MAX / 4)
        throw py::value_error("the frame is too large");
    // The pixels of a row must follow one another as OpenCV lays them out; rows may lie apart (a crop).
    const bool packed = info.strides[1] == channels && (info.ndim == 2 || info.strides[2] == 1) &&
                        info.strides[0] >= cols * channels;
    if (!packed)
        throw py::value_error("the frame's pixels do not lie side by side in its rows (strides " +
                              Strides(info) + "); pass numpy.ascontiguousarray(frame)");
    view.image = cv::Mat(static_cast<int>(rows), static_cast<int>(cols), channels == 3 ? CV_8UC3 : CV_8UC1,
                         info.ptr, static_cast<size_t>(info.strides[0]));
    return view;
}

const cv::Mat& AnalysedBgr(const cv::Mat& frame, bool upsideDown, cv::Mat& work)
{
    if (frame.channels() == 3 && !upsideDown)
        return frame;
    if (frame.channels() == 1)
        cv::cvtColor(frame, work, cv::COLOR_GRAY2BGR);
    if (upsideDown)
        cv::flip(frame.channels() == 1 ? work : frame, work, 0);
    return work;
}
