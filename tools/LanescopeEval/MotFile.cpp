// Reading MOTChallenge text files into boxes: the lines by the rules every tool reads them with, the columns
// as the evaluator needs them.

#include "MotText.h"
#include "TrackingEval.h"

#include <cmath>
#include <fstream>

namespace {

/* value as an int when it is a whole number an int can hold. */
bool WholeNumber(double value, int& out)
{
    if (value != std::floor(value) || value < INT_MIN || value > INT_MAX)
        return false;
    out = int(value);
    return true;
}

/* The start of a message about the line numbered number. */
std::string AtLine(long number)
{
    return "line " + std::to_string(number) + ": ";
}

} // namespace

bool ReadMotText(std::istream& in, MotFileKind kind, std::vector<MotBox>& boxes, std::string& error,
                 long* flaggedOff)
{
    boxes.clear();
    long ignored = 0;
    MotTextReader reader(in);
    MotLine line;
    while (reader.Next(line, error)) {
        const std::string where = AtLine(line.number);
        const std::vector<double>& f = line.values;
        MotBox b;
        if (!line.numbers || f.size() < 6) {
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
        if (kind == MotFileKind::GroundTruth && b.score == 0) {
            ++ignored;
            continue;
        }
        boxes.push_back(b);
    }
    if (flaggedOff)
        *flaggedOff = ignored;
    if (!error.empty()) {
        error = AtLine(line.number) + error;
        return false;
    }
    return true;
}

bool ReadMotFile(const std::string& path, MotFileKind kind, std::vector<MotBox>& boxes, std::string& error,
                 long* flaggedOff)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    if (!ReadMotText(in, kind, boxes, error, flaggedOff)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
