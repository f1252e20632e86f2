#include "FileFaults.h"

#include <utility>

namespace fw::faults {

namespace {
Hook& CurrentHook() {
  static Hook hook;
  return hook;
}
}  // namespace

void SetHook(Hook hook) { CurrentHook() = std::move(hook); }

int Check(Op op) {
  const Hook& hook = CurrentHook();
  return hook ? hook(op) : 0;
}

}  // namespace fw::faults
