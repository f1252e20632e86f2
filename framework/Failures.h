// The failures that the framework raises. Their texts are written for the user: the report of an unhandled
// failure shows them as they stand.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace fw {

class IOException : public std::runtime_error {
 public:
  IOException(int errorNumber, const std::string& message, std::string place = {})
      : std::runtime_error(message), errorNumber_(errorNumber), place_(std::move(place)) {}
  // The system's error number (errno); 104 when Create finds the file already there.
  int ErrorNumber() const { return errorNumber_; }
  // The absolute path of the file, or of the folder (ending with "/"), that the failure is about; "" when the
  // failure is about no one place. A caller tells by it whose failure it was.
  const std::string& Place() const { return place_; }

 private:
  int errorNumber_;
  std::string place_;
};

class NilObjectException : public std::runtime_error {
 public:
  explicit NilObjectException(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace fw
