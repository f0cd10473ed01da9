#pragma once

#include "chunkedcolumn.h"

#include <QtGlobal>

#include <vector>

// Byte offsets in one file, four bytes each: the low 32 bits of each offset are kept, and the
// rows where the bits above change, once per 4 GiB of file in a column in file order, are
// noted apart. Copies share what they hold until they change it (see ChunkedColumn).
class OffsetColumn
{
public:
    [[nodiscard]] size_t size() const { return lows.size(); }
    [[nodiscard]] qint64 operator[](size_t i) const
    {
        return highs.empty() ? qint64(lows[i]) : qint64(highAt(i)) << 32 | lows[i];
    }

    void push_back(qint64 offset);
    // Keeps the first n offsets.
    void truncate(size_t n);
    // Another column's offsets after these.
    void append(const OffsetColumn &other);
    // The first place in [first, last) whose offset is greater than offset; the offsets there
    // must be in order.
    [[nodiscard]] size_t upperBound(size_t first, size_t last, qint64 offset) const;
    [[nodiscard]] size_t memoryBytes() const;

private:
    // The bits above the low 32 of the offsets from firstRow on.
    struct High
    {
        size_t firstRow;
        quint32 bits;
    };

    [[nodiscard]] quint32 highAt(size_t row) const;

    ChunkedColumn<quint32> lows;
    std::vector<High> highs;
};
