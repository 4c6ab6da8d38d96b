#pragma once
// The plain search the run finders are held to: from every pair of places
// where the texts agree and did not agree one character before, as far as they
// agree.

#include "matching/runs.h"

#include <algorithm>
#include <string_view>
#include <vector>

inline std::vector<matching::ContentRun> quadraticRuns(std::u32string_view a, std::u32string_view b,
                                                       int minRun)
{
    std::vector<matching::ContentRun> out;
    for (size_t i = 0; i < a.size(); ++i) {
        for (size_t j = 0; j < b.size(); ++j) {
            if (i > 0 && j > 0 && a[i - 1] == b[j - 1])
                continue;
            size_t len = 0;
            while (i + len < a.size() && j + len < b.size() && a[i + len] == b[j + len])
                ++len;
            if (qsizetype(len) >= minRun)
                out.push_back({qsizetype(i), qsizetype(j), qsizetype(len)});
        }
    }
    std::sort(out.begin(), out.end(), [](const matching::ContentRun& x, const matching::ContentRun& y) {
        return x.a != y.a ? x.a < y.a : x.b < y.b;
    });
    return out;
}
