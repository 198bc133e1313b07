#pragma once
// ParseCommandLine run on a list of words, with what it printed: what the command-line tests share.

#include "CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

/* Runs ParseCommandLine on the words after the program name and keeps what it printed. */
struct ParsedCommandLine
{
    std::vector<std::vector<char>> words; /* mutable argument buffers, argv[0] first */
    std::vector<char*> argv;              /* the argument vector handed over, null-terminated */
    std::string printed;                  /* standard output */
    bool ok = false;                      /* what ParseCommandLine returned */
    CvVideoFrontEnd fe;

    explicit ParsedCommandLine(const std::vector<std::string>& args, const char* help = CV_FE_LANESCOPE_HELP)
    {
        words.emplace_back(std::vector<char>{'L', '\0'});
        for (const std::string& a : args)
            words.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        ok = ParseCommandLine(fe, static_cast<int>(words.size()), argv.data(), help);
        printed = testing::internal::GetCapturedStdout();
    }
    /* Argument i as it stands after parsing (argv[1] is lower-cased in place). */
    std::string Arg(int i) const { return words[i].data(); }
};
