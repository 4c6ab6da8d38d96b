#pragma once
// Work spread over the cores (at most four threads).

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace matching {

// Asking costs a file read each time: asked once.
inline size_t workerCount()
{
    static const size_t count = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    return count;
}

// part(0) .. part(parts - 1), each thread taking a contiguous share.
inline void inParallel(size_t parts, const std::function<void(size_t)>& part)
{
    const size_t threads = std::min(parts, workerCount());
    const auto share = [&](size_t t) {
        for (size_t p = parts * t / threads; p < parts * (t + 1) / threads; ++p)
            part(p);
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back(share, t);
    if (threads > 0)
        share(0);
    for (std::thread& t : helpers)
        t.join();
}

}  // namespace matching
