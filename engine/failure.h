// Failures that the conversion rules raise on purpose for input they cannot handle (a
// division by zero in a constant, a GUID byte that is no number, an "#endif" without its
// "#if"). Like any failure inside a line they become an "// Application Error : " line; the
// type tells them apart from faults of the converter itself.
#pragma once

#include <stdexcept>
#include <string>

namespace tqc {

class IntendedFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file the conversion needs on the way (an include cache) cannot be read. The line is marked
// like any failure; the report calls it a warning, since nothing in the converter is wrong.
class UnreadableFile : public IntendedFailure {
 public:
  using IntendedFailure::IntendedFailure;
};

}  // namespace tqc
