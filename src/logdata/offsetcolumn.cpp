#include "offsetcolumn.h"

#include <algorithm>

void OffsetColumn::push_back(qint64 offset)
{
    const auto bits = quint32(quint64(offset) >> 32);
    if (bits != highAt(size()))
        highs.push_back({size(), bits});
    lows.push_back(quint32(offset));
}

void OffsetColumn::truncate(size_t n)
{
    lows.truncate(n);
    highs.erase(std::find_if(highs.begin(), highs.end(),
                    [n](const High &high) { return high.firstRow >= n; }),
        highs.end());
}

// Offsets below 4 GiB after offsets below 4 GiB, as nearly always, are taken a run at a time.
void OffsetColumn::append(const OffsetColumn &other)
{
    if (other.highs.empty() && highAt(size()) == 0) {
        lows.append(other.lows);
        return;
    }
    for (size_t row = 0; row < other.size(); ++row)
        push_back(other[row]);
}

size_t OffsetColumn::upperBound(size_t first, size_t last, qint64 offset) const
{
    while (first < last) {
        const size_t middle = first + (last - first) / 2;
        if (offset < (*this)[middle])
            last = middle;
        else
            first = middle + 1;
    }
    return first;
}

size_t OffsetColumn::memoryBytes() const
{
    return lows.memoryBytes() + highs.capacity() * sizeof(High);
}

quint32 OffsetColumn::highAt(size_t row) const
{
    const auto after = std::upper_bound(highs.begin(), highs.end(), row,
        [](size_t wanted, const High &high) { return wanted < high.firstRow; });
    return after == highs.begin() ? 0 : std::prev(after)->bits;
}
