// The largest single allocation of the test program since the last reset, through a
// replacement of the global operator new: a parser that reserved what a hostile header
// announces shows up here. ThreadSanitizer brings its own operator new, which cannot be
// replaced; there the count stays off.
#pragma once

#include <cstddef>

namespace korvo::test {

bool AllocationTrackingAvailable();
void ResetLargestAllocation();
std::size_t LargestAllocation();

} // namespace korvo::test
