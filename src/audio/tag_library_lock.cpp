#include "audio/tag_library_lock.h"

std::mutex& TagLibraryLock()
{
    // Workers copy tags one at a time. A copy takes milliseconds, an encode seconds.
    static std::mutex lock;
    return lock;
}
