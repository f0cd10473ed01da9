#pragma once

#include <algorithm>
#include <memory>
#include <vector>

// A column of values kept in chunks of a fixed size that copies of the column share: a copy
// costs a pointer per chunk, and a change to a copy copies only the chunks it touches. So the
// index of a growing log is brought up to date without copying what it had, while readers of
// the older copy go on reading it on other threads. A chunk is never changed while another
// copy shares it.
template<typename T>
class ChunkedColumn
{
public:
    static constexpr size_t chunkBits = 14;
    static constexpr size_t chunkSize = size_t(1) << chunkBits;

    [[nodiscard]] size_t size() const { return count; }
    [[nodiscard]] const T &operator[](size_t i) const
    {
        return (*chunks[i >> chunkBits])[i & (chunkSize - 1)];
    }

    void push_back(const T &value)
    {
        lastWithRoom().push_back(value);
        ++count;
    }

    void set(size_t i, const T &value) { writable(i >> chunkBits)[i & (chunkSize - 1)] = value; }

    // Holds n values of T{} in chunks of its own, so that several threads may then set values
    // of it at once, each at places of its own.
    void reset(size_t n)
    {
        chunks.clear();
        for (size_t first = 0; first < n; first += chunkSize)
            chunks.push_back(std::make_shared<std::vector<T>>(std::min(chunkSize, n - first)));
        count = n;
    }

    // Keeps the first n values.
    void truncate(size_t n)
    {
        if (n >= count)
            return;
        chunks.resize((n + chunkSize - 1) >> chunkBits);
        if ((n & (chunkSize - 1)) != 0)
            writable(chunks.size() - 1).resize(n & (chunkSize - 1));
        count = n;
    }

    // Another column's values after these, copied a run at a time.
    void append(const ChunkedColumn &other)
    {
        for (const auto &chunk : other.chunks) {
            for (auto from = chunk->begin(); from != chunk->end();) {
                std::vector<T> &last = lastWithRoom();
                const auto taken
                    = std::min(chunk->end() - from, std::ptrdiff_t(chunkSize - last.size()));
                last.insert(last.end(), from, from + taken);
                from += taken;
                count += size_t(taken);
            }
        }
    }

    [[nodiscard]] size_t memoryBytes() const
    {
        size_t bytes = chunks.capacity() * sizeof(chunks.front());
        for (const auto &chunk : chunks)
            bytes += chunk->capacity() * sizeof(T);
        return bytes;
    }

private:
    // The last chunk, with room for one value at least.
    std::vector<T> &lastWithRoom()
    {
        if ((count & (chunkSize - 1)) == 0) {
            chunks.push_back(std::make_shared<std::vector<T>>());
            // A column of a few values, as in a log of many small files, takes only their room.
            if (count > 0)
                chunks.back()->reserve(chunkSize);
        }
        return writable(chunks.size() - 1);
    }

    // A chunk that no other copy shares: one that is shared is copied first.
    std::vector<T> &writable(size_t chunk)
    {
        std::shared_ptr<std::vector<T>> &held = chunks[chunk];
        if (held.use_count() > 1) {
            auto own = std::make_shared<std::vector<T>>();
            own->reserve(held->capacity());
            own->assign(held->begin(), held->end());
            held = std::move(own);
        }
        return *held;
    }

    std::vector<std::shared_ptr<std::vector<T>>> chunks;
    size_t count = 0;
};
