// Reading hand-made ground truth strictly, and filling the frames between its key frames.

#include "KeyFrames.h"

#include "MotText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace {

/* value as an int when it is a whole number from 1 that an int can hold. */
bool Counting(double value, int& out)
{
    if (value != std::floor(value) || value < 1 || value > 1e9)
        return false;
    out = int(value);
    return true;
}

/* Why the numbers f of one line are no box inside frameSize; empty when they are one. */
std::string Refusal(const std::vector<double>& f, cv::Size frameSize, TruthBox& b)
{
    if (f.size() != 9)
        return "not a box of ground truth (frame,id,left,top,width,height,flag,class,visibility)";
    if (!Counting(f[0], b.frame) || !Counting(f[1], b.id) || !Counting(f[7], b.type))
        return "frame, id and class must be whole numbers from 1";
    if (f[6] != 0 && f[6] != 1)
        return "the flag must be 0 or 1";
    if (!(f[8] >= 0 && f[8] <= 1))
        return "the visibility must lie in 0..1";
    b.box = cv::Rect2d(f[2], f[3], f[4], f[5]);
    b.flag = int(f[6]);
    b.visibility = f[8];
    if (!(b.box.width > 0 && b.box.height > 0))
        return "an empty box";
    // A person at the picture's edge is boxed where they can be seen: the box ends at the edge.
    if (b.box.x < 0 || b.box.y < 0 || b.box.br().x > frameSize.width || b.box.br().y > frameSize.height)
        return "the box reaches outside the " + std::to_string(frameSize.width) + " x " +
               std::to_string(frameSize.height) + " picture";
    return "";
}

/* The box between a and b at the share t of the way, its edges rounded to whole pixels so that a box
   between two boxes inside the picture stays inside it. */
cv::Rect2d Between(const cv::Rect2d& a, const cv::Rect2d& b, double t)
{
    const auto at = [t](double from, double to) { return double(std::lround(from + (to - from) * t)); };
    const double left = at(a.x, b.x), top = at(a.y, b.y);
    return cv::Rect2d(left, top, at(a.br().x, b.br().x) - left, at(a.br().y, b.br().y) - top);
}

/* value with at most two decimals and no trailing zeros: 12, 0.5, 0.33. */
std::string Number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string digits = text;
    digits.erase(digits.find_last_not_of('0') + 1);
    if (digits.back() == '.')
        digits.pop_back();
    return digits == "-0" ? "0" : digits;
}

} // namespace

bool ReadTruthBoxes(std::istream& in, cv::Size frameSize, std::vector<TruthBox>& boxes, std::string& error)
{
    boxes.clear();
    std::map<int, int> typeOfId;
    MotTextReader reader(in);
    MotLine line;
    while (reader.Next(line, error)) {
        TruthBox b;
        error = line.numbers ? Refusal(line.values, frameSize, b) : "not a line of numbers";
        if (error.empty() && typeOfId.emplace(b.id, b.type).first->second != b.type)
            error = "id " + std::to_string(b.id) + " changes its class";
        if (!error.empty())
            break;
        boxes.push_back(b);
    }
    if (error.empty())
        return true;
    error = "line " + std::to_string(line.number) + ": " + error;
    return false;
}

std::vector<TruthBox> InterpolateKeys(const std::vector<TruthBox>& keys)
{
    std::map<int, std::vector<TruthBox>> byId;
    for (const TruthBox& k : keys)
        byId[k.id].push_back(k);
    std::vector<TruthBox> boxes;
    for (auto& [id, track] : byId) {
        std::sort(track.begin(), track.end(),
                  [](const TruthBox& a, const TruthBox& b) { return a.frame < b.frame; });
        for (std::size_t k = 0; k < track.size(); ++k) {
            boxes.push_back(track[k]);
            if (k + 1 == track.size())
                break;
            const TruthBox &a = track[k], &b = track[k + 1];
            for (int frame = a.frame + 1; frame < b.frame; ++frame) {
                const double t = double(frame - a.frame) / (b.frame - a.frame);
                TruthBox m = a;
                m.frame = frame;
                m.box = Between(a.box, b.box, t);
                m.flag = a.flag && b.flag;
                m.visibility = std::round((a.visibility + (b.visibility - a.visibility) * t) * 100) / 100;
                boxes.push_back(m);
            }
        }
    }
    std::stable_sort(boxes.begin(), boxes.end(),
                     [](const TruthBox& a, const TruthBox& b) { return a.frame < b.frame; });
    return boxes;
}

std::string TruthText(const std::vector<TruthBox>& boxes)
{
    std::string text;
    for (const TruthBox& b : boxes)
        text += std::to_string(b.frame) + "," + std::to_string(b.id) + "," + Number(b.box.x) + "," +
                Number(b.box.y) + "," + Number(b.box.width) + "," + Number(b.box.height) + "," +
                std::to_string(b.flag) + "," + std::to_string(b.type) + "," + Number(b.visibility) + "\n";
    return text;
}
