#pragma once
// What a recording run tells the user about its files beyond the video's own frames: the files that
// earlier runs ended without finishing, and a file of its own that it could not finish.

#include <string>

/* Names on standard error, one line each, the files that runs ended before finishing left beside path,
   their fresh files for it that no run holds any longer. Nothing is deleted: what they hold may be wanted. */
void ReportUnfinishedFiles(const std::string& path);

/* The end of the line that reports a file of this run that could not be finished: that an older file at
   path is kept, when there is one, and the name keptAs under which whose ("this run's recording") is kept. */
std::string DescribeKeptFile(const std::string& path, const std::string& keptAs, const char* whose);
