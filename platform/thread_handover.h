// Marks for a hand-over from one thread to another that goes through a lock
// the program's own build cannot see.
//
// Qt's event queue is guarded by locks inside the Qt libraries. A
// ThreadSanitizer build instruments only the program, not those libraries,
// so it cannot see that posting an event orders everything the worker wrote
// into it before the receiving thread reads it, and reports those reads as
// races. The sender marks the event once it is filled, before posting it;
// the receiver marks it first thing when it takes it. In every other build
// both marks are empty.
#pragma once

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KINEMO_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KINEMO_THREAD_SANITIZER 1
#endif

#ifdef KINEMO_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace kinemo::platform {

// On the sending thread, after the last write into what `token` hands over.
inline void MarkHandedOver([[maybe_unused]] const void* token) {
#ifdef KINEMO_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(token));
#endif
}

// On the receiving thread, before the first read of what `token` handed over.
inline void MarkTakenOver([[maybe_unused]] const void* token) {
#ifdef KINEMO_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(token));
#endif
}

}  // namespace kinemo::platform
