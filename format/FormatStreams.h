// Shared by the readers and writers: a property that must be set before it is used.
#pragma once

#include <memory>
#include <string>

#include "Failures.h"

namespace spcformat {

template <typename T>
T& Require(const std::shared_ptr<T>& object, const char* name) {
  if (!object) throw fw::NilObjectException(std::string(name) + " is not set.");
  return *object;
}

}  // namespace spcformat
