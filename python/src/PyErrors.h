#pragma once
// The exceptions the package raises beside Python's own.

#include <stdexcept>
#include <string>

/* lanescope.MemoryFileError (an OSError): a memory file that cannot be used, or a save that did not
   happen. */
class CvMemoryFileError : public std::runtime_error
{
  public:
    explicit CvMemoryFileError(const std::string& what) : std::runtime_error(what) {}
};
