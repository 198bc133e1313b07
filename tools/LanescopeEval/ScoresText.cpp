// The evaluator's report: one "name value" line per measure, ratios with four decimals, and on request the
// confusion between the truth's classes and the tracks' types.

#include "TrackingEval.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

/* value with four decimals. One that rounds to zero prints 0.0000 whatever its sign: "MOTA -0.0000" would
   tell of errors outweighing matches where the two are even. */
std::string Fixed(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string digits = text;
    if (digits[0] == '-' && digits.find_first_not_of("-0.") == std::string::npos)
        digits.erase(0, 1);
    return digits;
}

} // namespace

std::string ScoresText(const TrackingScores& s)
{
    std::ostringstream text;
    text << "MOTA " << Fixed(s.mota) << "\nMOTP " << Fixed(s.motp) << "\nIDF1 " << Fixed(s.idf1) << "\nIDP "
         << Fixed(s.idPrecision) << "\nIDR " << Fixed(s.idRecall) << "\nprecision " << Fixed(s.precision)
         << "\nrecall " << Fixed(s.recall) << "\nswitches " << s.idSwitches << "\nfragmentations "
         << s.fragmentations << "\nmatches " << s.matches << "\nmisses " << s.misses << "\nfalse_positives "
         << s.falsePositives << "\nobjects " << s.objects << "\nmostly_tracked " << s.mostlyTracked
         << "\npartly_tracked " << s.partlyTracked << "\nmostly_lost " << s.mostlyLost << "\ntyped_matches "
         << s.typedMatches << "\ntype_accuracy " << (s.typedMatches ? Fixed(s.typeAccuracy) : "-") << "\n";
    return text.str();
}

std::string ConfusionText(const TrackingScores& s)
{
    std::vector<std::pair<std::pair<int, int>, long>> pairs(s.typePairs.begin(), s.typePairs.end());
    // Most frequent first; among equals, by class and type as the map holds them.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::ostringstream text;
    for (const auto& [pair, count] : pairs)
        text << "confusion " << pair.first << " " << pair.second << " " << count << "\n";
    return text.str();
}
