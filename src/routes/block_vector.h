#pragma once
// A growing array kept in blocks of a fixed number of elements, so that it
// grows without ever copying what it holds: a std::vector that doubles holds
// its old and its new room at once as it grows (a route of 100,000 points
// read from a file briefly took half as much again as it keeps), and gives
// the room it grew beyond its elements back only by one more copy.
//
//   BlockVector<float> lengths;
//   lengths.push_back(12.5f);
//   lengths[0];            // 12.5f
//   lengths.shrink();      // the last block's unused room given back

#include <cstddef>
#include <vector>

namespace vadrel {

template <typename T, std::size_t BlockSize = 4096>
class BlockVector {
public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    const T& operator[](std::size_t i) const { return blocks_[i / BlockSize][i % BlockSize]; }
    T& operator[](std::size_t i) { return blocks_[i / BlockSize][i % BlockSize]; }

    void push_back(const T& value) {
        if (size_ % BlockSize == 0) {
            blocks_.emplace_back();
            blocks_.back().reserve(BlockSize);
        }
        blocks_.back().push_back(value);
        ++size_;
    }
    // Grows to `count` elements, the new ones `value`.
    void grow_to(std::size_t count, const T& value) {
        while (size_ < count) push_back(value);
    }
    void clear() {
        blocks_ = {};
        size_ = 0;
    }
    // Once built: only the last block can have room beyond its elements.
    void shrink() {
        if (!blocks_.empty()) blocks_.back().shrink_to_fit();
        blocks_.shrink_to_fit();
    }

private:
    std::vector<std::vector<T>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace vadrel
