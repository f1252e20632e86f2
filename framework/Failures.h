// The failures that the framework raises. Their texts are written for the user: the report of an unhandled
// failure shows them as they stand.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace fw {

// What kind of failure an IOException is, so that a caller can tell the system's refusals from the program's own
// failures, and a file that is in place from one that is not, without guessing from a number.
enum class IOKind {
  System,            // the system refused: ErrorNumber() is its errno
  AlreadyThere,      // Create (or the unnamed file beside) found a file already there; ErrorNumber() is 0
  Program,           // another failure of the program's own making; ErrorNumber() is 0
  RightsNotCarried,  // the new file could not be given the replaced file's rights; ErrorNumber() is the system's errno
  NotDurable,        // the new file is in place, but its folder could not be synced; ErrorNumber() is the system's
                     // errno
};

class IOException : public std::runtime_error {
 public:
  // System, or Program when errorNumber is 0.
  IOException(int errorNumber, const std::string& message, std::string place = {})
      : IOException(errorNumber == 0 ? IOKind::Program : IOKind::System, errorNumber, message, std::move(place)) {}
  IOException(IOKind kind, int errorNumber, const std::string& message, std::string place = {})
      : std::runtime_error(message), kind_(kind), errorNumber_(errorNumber), place_(std::move(place)) {}
  IOKind Kind() const { return kind_; }
  // The system's error number (errno); 0 for a failure of the program's own.
  int ErrorNumber() const { return errorNumber_; }
  // The absolute path of the file, or of the folder (ending with "/"), that the failure is about; "" when the
  // failure is about no one place. A caller tells by it whose failure it was.
  const std::string& Place() const { return place_; }

 private:
  IOKind kind_;
  int errorNumber_;
  std::string place_;
};

class NilObjectException : public std::runtime_error {
 public:
  explicit NilObjectException(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace fw
