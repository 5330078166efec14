// A growable array whose elements never move once created.
//
// Storage is a list of blocks of about 64 KiB, allocated zero-filled
// (value-initialised) as the length grows, so that appending a million
// elements costs no copying and no peak of twice the array's size.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

template <class T>
class TDynArray {
    static constexpr std::size_t kPerBlock = std::bit_floor(std::max<std::size_t>(1, 65536 / sizeof(T)));
    static constexpr unsigned kShift = static_cast<unsigned>(std::countr_zero(kPerBlock));

public:
    TDynArray() = default;
    TDynArray(TDynArray&&) noexcept = default;
    TDynArray& operator=(TDynArray&&) noexcept = default;
    TDynArray(const TDynArray& o) { *this = o; }
    TDynArray& operator=(const TDynArray& o)
    {
        if (this == &o) return *this;
        Clear();
        SetLength(o.len_);
        for (std::size_t i = 0; i < o.len_; ++i) (*this)[i] = o[i];
        return *this;
    }

    std::size_t Length() const { return len_; }

    // Grows to n elements (new ones zero-filled), or shrinks to n; shrinking
    // releases whole blocks and resets the kept slots beyond n.
    void SetLength(std::size_t n)
    {
        if (n > len_) {
            const std::size_t blocks = (n + kPerBlock - 1) >> kShift;
            blocks_.reserve(blocks);
            while (blocks_.size() < blocks) blocks_.push_back(std::make_unique<T[]>(kPerBlock));
        } else {
            for (std::size_t i = n; i < len_ && (i >> kShift) < ((n + kPerBlock - 1) >> kShift); ++i) (*this)[i] = T{};
            blocks_.resize((n + kPerBlock - 1) >> kShift);
        }
        len_ = n;
    }
    // Counts one more element and returns it; the length grows in steps of 100
    // (to count + 99 when the count becomes 1 more than a multiple of 100). If
    // growing fails, the count keeps its new value and the exception escapes;
    // the next append then grows the array to the count rounded up to 100.
    T& AppendAt(std::int32_t& count)
    {
        if (count == INT32_MAX) throw std::length_error("TDynArray count");
        ++count;
        const auto n = static_cast<std::size_t>(count);
        if (n > len_) SetLength((n + 99) / 100 * 100);
        return (*this)[n - 1];
    }

    void Clear()
    {
        blocks_.clear();
        blocks_.shrink_to_fit();
        len_ = 0;
    }

    T& operator[](std::size_t i) { return blocks_[i >> kShift][i & (kPerBlock - 1)]; }
    const T& operator[](std::size_t i) const { return blocks_[i >> kShift][i & (kPerBlock - 1)]; }
    T& at(std::size_t i)
    {
        if (i >= len_) throw std::out_of_range("TDynArray index");
        return (*this)[i];
    }
    const T& at(std::size_t i) const
    {
        if (i >= len_) throw std::out_of_range("TDynArray index");
        return (*this)[i];
    }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t len_ = 0;
};
