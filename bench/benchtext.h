#pragma once
// Text the benchmarks make up: spread over the CJK block, repeatable by seed.

#include <QString>

inline QString chinese(int count, int seed)
{
    QString s;
    s.reserve(count);
    for (int i = 0; i < count; ++i)
        s += QChar(char16_t(0x4E00 + (i * 7919 + seed) % 0x5000));
    return s;
}
