#pragma once

#include <mutex>

// The tag library keeps program-wide state (its frame factory, default encodings) that it does
// not guard: every use of it from the workers holds this lock.
std::mutex& TagLibraryLock();
