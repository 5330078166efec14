// A growable array whose elements never move once created.
//
// Storage is a list of blocks whose capacities double: the first two hold
// about 64 KiB each, every later one as much as all before it together, so
// that appending a million elements costs no copying, no peak of twice the
// array's size, and few allocations. Elements are constructed (value-
// initialised) only as the length reaches them, so an untouched part of the
// last block costs address space, not memory: the memory in use is the
// length's, plus at most one partly filled page.
//
// Blocks of 2 MiB or more are taken straight from the system, aligned to
// 2 MiB and marked for transparent huge pages. Filling fresh memory costs
// one fault per page, and a 2 MiB page takes the place of 512 small ones;
// where the system gives no huge pages the block works with small ones.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace q6mem {

inline constexpr std::size_t kHugePage = std::size_t{2} << 20;

inline constexpr std::size_t HugeRound(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

// At least `bytes` of fresh zero memory aligned to kHugePage and advised for
// huge pages; the mapping is HugeRound(bytes) long. Throws std::bad_alloc.
inline void* MapHuge(std::size_t bytes)
{
    bytes = HugeRound(bytes);
    const std::size_t span = bytes + kHugePage;
    void* p = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) ::munmap(p, aligned - start);
    const std::size_t tail = start + span - (aligned + bytes);
    if (tail) ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

inline void UnmapHuge(void* p, std::size_t bytes) { ::munmap(p, HugeRound(bytes)); }

// Marks the whole huge pages inside a large buffer that nothing has touched
// yet (a string just reserved) for transparent huge pages. Only advice: a
// buffer smaller than a huge page, or a system without them, is unchanged.
inline void AdviseHuge(void* p, std::size_t bytes)
{
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace q6mem

template <class T>
class TDynArray {
    static constexpr std::size_t kPerBlock = std::bit_floor(std::max<std::size_t>(1, 65536 / sizeof(T)));
    static constexpr unsigned kShift = static_cast<unsigned>(std::countr_zero(kPerBlock));

    // Block k holds Capacity(k) elements, from element Start(k) on: block 0
    // from 0, block k >= 1 from kPerBlock << (k - 1), as many as before it.
    static constexpr std::size_t Start(unsigned k) { return ((std::size_t{1} << k) >> 1) << kShift; }
    static constexpr std::size_t Capacity(unsigned k) { return k == 0 ? kPerBlock : Start(k); }
    static constexpr std::size_t Bytes(unsigned k) { return Capacity(k) * sizeof(T); }
    static constexpr bool Huge(unsigned k) { return Bytes(k) >= q6mem::kHugePage; }

public:
    TDynArray() = default;
    TDynArray(TDynArray&& o) noexcept : blocks_(std::move(o.blocks_)), len_(std::exchange(o.len_, 0))
    {
        o.blocks_.clear();
    }
    TDynArray& operator=(TDynArray&& o) noexcept
    {
        if (this != &o) {
            Clear();
            blocks_ = std::move(o.blocks_);
            o.blocks_.clear();
            len_ = std::exchange(o.len_, 0);
        }
        return *this;
    }
    TDynArray(const TDynArray& o) { *this = o; }
    TDynArray& operator=(const TDynArray& o)
    {
        if (this == &o) return *this;
        Clear();
        SetLength(o.len_);
        for (std::size_t i = 0; i < o.len_; ++i) (*this)[i] = o[i];
        return *this;
    }
    ~TDynArray() { Clear(); }

    std::size_t Length() const { return len_; }

    // Grows to n elements (new ones value-initialised), or shrinks to n;
    // shrinking destroys the elements from n on and releases the blocks that
    // then hold none, so that growing again gives fresh elements.
    void SetLength(std::size_t n)
    {
        if (n > len_) {
            while (Start(static_cast<unsigned>(blocks_.size())) < n) AddBlock();
            Construct(len_, n);
        } else if (n < len_) {
            Destroy(n, len_);
            len_ = n;
            while (!blocks_.empty() && Start(static_cast<unsigned>(blocks_.size() - 1)) >= n) DropBlock();
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
        Destroy(0, len_);
        len_ = 0;
        while (!blocks_.empty()) DropBlock();
        blocks_.shrink_to_fit();
    }

    T& operator[](std::size_t i)
    {
        const auto k = static_cast<unsigned>(std::bit_width(i >> kShift));
        return blocks_[k][i - Start(k)];
    }
    const T& operator[](std::size_t i) const
    {
        const auto k = static_cast<unsigned>(std::bit_width(i >> kShift));
        return blocks_[k][i - Start(k)];
    }
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
    void AddBlock()
    {
        const auto k = static_cast<unsigned>(blocks_.size());
        if (k >= 8 * sizeof(std::size_t) - kShift - 1 || Capacity(k) > SIZE_MAX / 2 / sizeof(T))
            throw std::length_error("TDynArray length");
        blocks_.reserve(k + 1);
        T* p = Huge(k) ? static_cast<T*>(q6mem::MapHuge(Bytes(k))) : std::allocator<T>().allocate(Capacity(k));
        blocks_.push_back(p);
    }
    void DropBlock()
    {
        const auto k = static_cast<unsigned>(blocks_.size() - 1);
        if (Huge(k)) q6mem::UnmapHuge(blocks_.back(), Bytes(k));
        else std::allocator<T>().deallocate(blocks_.back(), Capacity(k));
        blocks_.pop_back();
    }
    // Value-initialises the elements [from, to) block by block; if one throws,
    // those made are destroyed again and the exception escapes.
    void Construct(std::size_t from, std::size_t to)
    {
        std::size_t i = from;
        try {
            while (i < to) {
                const auto k = static_cast<unsigned>(std::bit_width(i >> kShift));
                const std::size_t end = std::min(to, Start(k) + Capacity(k));
                T* p = blocks_[k] + (i - Start(k));
                for (; i < end; ++i, ++p) ::new (static_cast<void*>(p)) T();
            }
        } catch (...) {
            Destroy(from, i);
            throw;
        }
    }
    void Destroy(std::size_t from, std::size_t to)
    {
        if constexpr (!std::is_trivially_destructible_v<T>)
            for (std::size_t i = from; i < to; ++i) (*this)[i].~T();
    }

    std::vector<T*> blocks_;
    std::size_t len_ = 0;
};
