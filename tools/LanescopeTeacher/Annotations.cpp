#include "Annotations.h"
#include "FileRows.h"
#include "LanescopeSettings.h"
#include "MotText.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace {

/* Number of values on a line of the maker's layout. */
const int MAKER_VALUES = 6;
/* Fewest values on a ground-truth line: up to the flag. */
const int GROUND_TRUTH_VALUES = 7;

/* Rounds a coordinate to a pixel, kept within a range in which sums of coordinates fit an int. */
int Pixel(double value)
{
    return int(std::lround(std::max(-1e8, std::min(1e8, value))));
}

/* The start of a message about the line numbered number of path. */
std::string AtLine(const std::string& path, long number)
{
    return path + " line " + std::to_string(number) + ": ";
}

} // namespace

bool ReadAnnotations(const std::string& path, int frameHeight, CvTypeSource source,
                     CvAnnotations& annotations, std::string& error)
{
    annotations = CvAnnotations();
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    MotTextReader reader(in);
    MotLine line;
    const std::vector<double>& v = line.values;
    int layoutValues = 0; // the first data line's count decides the layout
    while (reader.Next(line, error)) {
        const std::string where = AtLine(path, line.number);
        if (!line.numbers) {
            error = where + "not a line of numbers";
            return false;
        }
        if (layoutValues == 0) {
            layoutValues = int(v.size());
            annotations.groundTruth = layoutValues >= GROUND_TRUTH_VALUES;
            if (layoutValues != MAKER_VALUES && !annotations.groundTruth) {
                error = where + "neither frame,id,x,y,width,height nor frame,id,left,top,width,height,flag,"
                                "class,visibility";
                return false;
            }
        }
        if (annotations.groundTruth ? int(v.size()) < GROUND_TRUTH_VALUES : int(v.size()) != MAKER_VALUES) {
            error = where + std::to_string(v.size()) + " values where the file's first line has " +
                    std::to_string(layoutValues);
            return false;
        }
        const int first = annotations.groundTruth ? 1 : 0;
        if (v[0] != std::floor(v[0]) || v[0] < first || v[0] > 1e9 || v[1] != std::floor(v[1]) ||
            std::fabs(v[1]) > 1e9) {
            error =
                where + "frame and id must be whole numbers, frames counted from " + std::to_string(first);
            return false;
        }
        if (annotations.groundTruth && v[6] == 0)
            continue; // flag 0: the annotator marked the box as not to be used
        const bool byClass = annotations.groundTruth && source == CvTypeSource::Class;
        const double type = byClass ? (v.size() > 7 ? v[7] : 1) : v[1];
        if (type != std::floor(type) || type < 1 || type > CV_LS_TYPE_COUNT) {
            std::ostringstream text;
            text << where << (byClass ? "class " : "id ") << type << " is not a type of 1 to "
                 << CV_LS_TYPE_COUNT;
            error = text.str();
            return false;
        }
        cv::Rect box(Pixel(v[2]), Pixel(v[3]), Pixel(v[4]), Pixel(v[5]));
        if (box.width <= 0 || box.height <= 0) {
            error = where + "a box needs a width and a height of at least one pixel";
            return false;
        }
        // Ground truth counts rows from the top of the file's picture; the programs analyse it upside down.
        if (annotations.groundTruth)
            box.y = FlippedTop(box.y, box.height, frameHeight);
        annotations.byFrame[int(v[0]) - first].push_back(CvAnnotatedBox{int(v[1]), int(type), box});
    }
    if (!error.empty()) {
        error = AtLine(path, line.number) + error;
        return false;
    }
    if (annotations.byFrame.empty()) {
        error = path + " holds no box";
        return false;
    }
    return true;
}
