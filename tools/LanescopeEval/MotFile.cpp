// Reading MOTChallenge text files: one box per line, comma-separated, spaces after commas tolerated.

#include "TrackingEval.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <utility>

namespace {

/* The comma-separated numbers of line; false when a field is not a finite number. */
bool SplitNumbers(const std::string& line, std::vector<double>& fields)
{
    fields.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = line.find(',', start);
        const std::string text =
            line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const char* begin = text.c_str();
        char* end = nullptr;
        errno = 0;
        const double value = std::strtod(begin, &end);
        while (*end == ' ' || *end == '\t' || *end == '\r')
            ++end;
        // The whole field must be the number: a NUL byte inside it would otherwise end it early.
        if (end == begin || end != begin + text.size() || errno == ERANGE || !std::isfinite(value))
            return false;
        fields.push_back(value);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

/* value as an int when it is a whole number an int can hold. */
bool WholeNumber(double value, int& out)
{
    if (value != std::floor(value) || value < INT_MIN || value > INT_MAX)
        return false;
    out = int(value);
    return true;
}

} // namespace

bool ReadMotText(std::istream& in, MotFileKind kind, std::vector<MotBox>& boxes, std::string& error)
{
    boxes.clear();
    std::set<std::pair<int, int>> seen; // (frame, id) of every box read, flagged-off ones included
    std::vector<double> f;
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        MotBox b;
        if (!SplitNumbers(line, f) || f.size() < 6) {
            error = where + "not a box (frame,id,left,top,width,height,...)";
            return false;
        }
        if (!WholeNumber(f[0], b.frame) || !WholeNumber(f[1], b.id) || b.frame < 1) {
            error = where + "frame and id must be whole numbers, frames from 1";
            return false;
        }
        if (f[4] < 0 || f[5] < 0) {
            error = where + "negative width or height";
            return false;
        }
        b.box = cv::Rect2d(f[2], f[3], f[4], f[5]);
        if (f.size() > 6)
            b.score = f[6];
        if (f.size() > 7 && !WholeNumber(f[7], b.type))
            b.type = -1;
        if (!seen.insert({b.frame, b.id}).second) {
            error =
                where + "id " + std::to_string(b.id) + " appears twice in frame " + std::to_string(b.frame);
            return false;
        }
        if (kind == MotFileKind::GroundTruth && b.score == 0)
            continue;
        boxes.push_back(b);
    }
    if (in.bad()) {
        error = "read error";
        return false;
    }
    return true;
}

bool ReadMotFile(const std::string& path, MotFileKind kind, std::vector<MotBox>& boxes, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    if (!ReadMotText(in, kind, boxes, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
