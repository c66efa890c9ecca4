#pragma once

#include <thread>

// Runs stripe(first, step) over a range of work: alone as stripe(0, 1), or, when `split`, as
// stripe(1, 2) on a second thread beside stripe(0, 2) on this one. Returns once both are done.
template <typename Stripe> void InTwoStripes(bool split, const Stripe& stripe)
{
    if (!split) {
        stripe(0, 1);
        return;
    }
    std::thread other([&stripe] { stripe(1, 2); });
    stripe(0, 2);
    other.join();
}
