// The failures that the framework raises. Their texts are written for the user: the report of an unhandled
// failure shows them as they stand.
#pragma once

#include <stdexcept>
#include <string>

namespace fw {

class IOException : public std::runtime_error {
 public:
  IOException(int errorNumber, const std::string& message)
      : std::runtime_error(message), errorNumber_(errorNumber) {}
  // The system's error number (errno); 104 when Create finds the file already there.
  int ErrorNumber() const { return errorNumber_; }

 private:
  int errorNumber_;
};

class NilObjectException : public std::runtime_error {
 public:
  explicit NilObjectException(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace fw
