// Lines of comma-separated numbers: the one splitter that every reader of box files uses.

#include "MotText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

/* What a field holds. */
enum class Field {
    Words,    /* anything that is not one number */
    Infinite, /* a number out of range, an infinity or NaN */
    Finite    /* a finite number */
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

/* The field line[begin, end) read as one number into value. */
Field ReadField(const std::string& line, std::size_t begin, std::size_t end, double& value)
{
    const std::string field = line.substr(begin, end - begin);
    const char* text = field.c_str();
    char* stop = nullptr;
    errno = 0;
    value = std::strtod(text, &stop);
    while (IsSpace(*stop))
        ++stop;
    // The whole field must be the number: a NUL byte inside it would otherwise end it early.
    if (stop == text || stop != text + field.size())
        return Field::Words;
    return errno == ERANGE || !std::isfinite(value) ? Field::Infinite : Field::Finite;
}

/* Calls take(begin, end, last) on each comma-separated field of line while it returns true; true when it
   did so for every field. */
template <typename Take> bool EveryField(const std::string& line, Take take)
{
    for (std::size_t begin = 0;;) {
        const std::size_t comma = line.find(',', begin);
        const bool last = comma == std::string::npos;
        if (!take(begin, last ? line.size() : comma, last))
            return false;
        if (last)
            return true;
        begin = comma + 1;
    }
}

} // namespace

bool SplitNumbers(const std::string& line, std::vector<double>& values)
{
    values.clear();
    return EveryField(line, [&](std::size_t begin, std::size_t end, bool last) {
        // Some exporters end every line with a comma; the empty field after it is no value.
        if (last && !values.empty() && line.find_first_not_of(" \t\r", begin) >= end)
            return true;
        double value = 0;
        if (ReadField(line, begin, end, value) != Field::Finite)
            return false;
        values.push_back(value);
        return true;
    });
}

bool HoldsNumber(const std::string& line)
{
    return !EveryField(line, [&](std::size_t begin, std::size_t end, bool) {
        double value = 0;
        return ReadField(line, begin, end, value) == Field::Words;
    });
}
