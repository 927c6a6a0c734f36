// Memory exhaustion on demand: the n-th allocation from now fails. C++ allocations fail
// through a replaced operator new (linked into the test programs that list
// failing_allocator.cpp); the native build also fails the automation runtime's own
// allocations (strings, arrays, variant copies). The C++ countdown is per thread.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define KORVO_OPERATOR_NEW_CAN_FAIL 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KORVO_OPERATOR_NEW_CAN_FAIL 0
#endif
#endif
#if !defined(KORVO_OPERATOR_NEW_CAN_FAIL)
#define KORVO_OPERATOR_NEW_CAN_FAIL 1
#endif

namespace korvo::testing {

// ThreadSanitizer's runtime owns operator new; there only the runtime's allocations fail.
inline constexpr bool kOperatorNewCanFail = KORVO_OPERATOR_NEW_CAN_FAIL != 0;

// Lets `allocations` more allocations succeed, then fails every one until Disarm.
void ArmFailureAfter(long allocations);
void Disarm();

} // namespace korvo::testing
