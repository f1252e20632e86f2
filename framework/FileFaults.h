// The file layer's fault seam. Every open, write, sync, rename, exchange, link and close that the file layer
// makes, every change of a new file's owner or mode, the look at the status of the file it replaces, and every
// list, read and change of an extended attribute, asks the hook first; tests use it to make the n-th call fail with
// a chosen error, to end the process at that point, or to see the order of the calls.
#pragma once

#include <functional>

namespace fw::faults {

// New operations go at the end, so that the numbers that tests print for the others stay.
enum class Op { Open, Write, Sync, Rename, Close, Link, Owner, Mode, Exchange, Status, Attributes };

// Returns 0 to let the call run, or an errno value to make it fail with that error without running it.
using Hook = std::function<int(Op)>;

// An empty hook removes the seam.
void SetHook(Hook hook);

// Used by the file layer: 0, or the error the hook chose for this call.
int Check(Op op);

}  // namespace fw::faults
