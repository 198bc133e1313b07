#pragma once
// MotText: the lines of a MOTChallenge box text, "frame,id,..." with one box per line, read by the same
// rules wherever the tools take such a file:
//
//     MotTextReader reader(in);
//     MotLine line;
//     std::string error;
//     while (reader.Next(line, error)) {
//         if (!line.numbers)
//             return Refuse(line.number, "not a line of numbers");
//         Use(line.values);
//     }
//     if (!error.empty())
//         return Refuse(line.number, error);
//
// The rules: a UTF-8 byte-order mark at the start of the text and blank lines are skipped; the first
// non-blank line is a header, and skipped, when none of its fields is a number, while any other line of
// words is no box; every field is a finite number, spaces around it allowed, and one comma may end the
// line; an id appears at most once in a frame, for an object is in one place at a time.

#include <istream>
#include <set>
#include <string>
#include <utility>
#include <vector>

/* Splits line at its commas into values. False when a field is anything but a finite number (spaces
   around it allowed) or the line holds no field; an empty field after a last comma is no value. */
bool SplitNumbers(const std::string& line, std::vector<double>& values);

/* True when some comma-separated field of line is a number, finite or not. */
bool HoldsNumber(const std::string& line);

/* One data line of a MOTChallenge text. */
struct MotLine
{
    long number = 0;            /* its line number in the text, from 1 */
    bool numbers = false;       /* every field is a finite number: no line of words */
    std::vector<double> values; /* the fields' numbers when numbers is true */
};

/* Reads the data lines of a MOTChallenge text in turn. */
class MotTextReader
{
  public:
    explicit MotTextReader(std::istream& source) : in(source) {}

    /* The next data line into line: true when there is one. False at the end of the text, with error
       empty, or with the reason in error when the line repeats the frame and id of an earlier line or the
       text cannot be read; line.number is then the line in error. */
    bool Next(MotLine& line, std::string& error);

  private:
    std::istream& in;
    std::string text;                            /* the line last read */
    long lineCount = 0;                          /* lines read so far */
    bool started = false;                        /* a non-blank line has been read */
    std::set<std::pair<double, double>> idsSeen; /* (frame, id) of every line read */
};
