// Reading a MOTChallenge text line by line: what is skipped, and the rule that an object is in one place per
// frame.

#include "MotText.h"

#include <cmath>
#include <sstream>

namespace {

/* The UTF-8 byte-order mark that editors on some systems put before the first line. */
const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

bool IsBlank(const std::string& line)
{
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

bool IsWhole(double value)
{
    return value == std::floor(value);
}

/* value as the file would write it: 3, not 3.000000. */
std::string Text(double value)
{
    std::ostringstream text;
    text.precision(15);
    text << value;
    return text.str();
}

} // namespace

bool MotTextReader::Next(MotLine& line, std::string& error)
{
    error.clear();
    while (std::getline(in, text)) {
        line.number = ++lineCount;
        if (lineCount == 1 && text.compare(0, sizeof BYTE_ORDER_MARK - 1, BYTE_ORDER_MARK) == 0)
            text.erase(0, sizeof BYTE_ORDER_MARK - 1);
        if (IsBlank(text))
            continue;
        const bool first = !started;
        started = true;
        line.numbers = SplitNumbers(text, line.values);
        if (!line.numbers) {
            // A header names the columns before any box; any number in a line, NaN too, makes it no header.
            if (first && !HoldsNumber(text))
                continue;
            return true;
        }
        const std::vector<double>& v = line.values;
        // Frames and ids that are not whole numbers are the caller's to refuse.
        if (v.size() >= 2 && IsWhole(v[0]) && IsWhole(v[1]) && !idsSeen.insert({v[0], v[1]}).second) {
            error = "id " + Text(v[1]) + " appears twice in frame " + Text(v[0]);
            return false;
        }
        return true;
    }
    line.number = lineCount + 1;
    if (in.bad())
        error = "read error";
    return false;
}
