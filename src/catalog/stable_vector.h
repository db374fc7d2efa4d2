// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A growable array whose elements never move: it grows by adding blocks of doubling size, and the
// table of blocks has a fixed place and size. A thread that has been handed a count of elements
// (through a lock or another hand-over that orders memory) may read those elements while the
// owning thread appends more, because appending writes only new elements, the new block's slot of
// the table and the size, none of which that reader touches.

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace ostrum::catalog {

template <class T>
class StableVector {
  public:
    StableVector() = default;
    StableVector(const StableVector&) = delete;
    StableVector& operator=(const StableVector&) = delete;
    ~StableVector() { clear(); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    T& operator[](std::size_t index) { return *Address(index); }
    const T& operator[](std::size_t index) const { return *Address(index); }
    T& back() { return (*this)[size_ - 1]; }
    const T& back() const { return (*this)[size_ - 1]; }

    template <class... Args>
    T& emplace_back(Args&&... args) {
        T* element = ::new (NextPlace()) T(std::forward<Args>(args)...);
        ++size_;
        return *element;
    }
    T& push_back(T value) {
        if constexpr (std::is_trivially_copyable_v<T>) {
            // Copied whole, as bytes: a member-wise copy of bit-fields reads the new element's memory
            // before writing it, and on a page not touched before, that read maps the shared zero page, so
            // the write that follows costs a second fault and a TLB flush on every CPU of the process.
            T* element = NextPlace();
            std::memcpy(static_cast<void*>(element), &value, sizeof(T));
            ++size_;
            return *element;
        } else {
            return emplace_back(std::move(value));
        }
    }

    void clear() {
        for (std::size_t i = size_; i > 0; --i) Address(i - 1)->~T();
        for (std::size_t block = 0; block < blocks_.size(); ++block) {
            if (blocks_[block] != nullptr) {
                ::operator delete(blocks_[block], std::align_val_t(alignof(T)));
                blocks_[block] = nullptr;
            }
        }
        size_ = 0;
    }

  private:
    // Block b holds kFirstBlock << b elements; element i lies in the block named by the highest bit
    // of i + kFirstBlock.
    static constexpr std::size_t kFirstBlockBits = 10;
    static constexpr std::size_t kFirstBlock = std::size_t{1} << kFirstBlockBits;
    static constexpr std::size_t kBlocks = 64 - kFirstBlockBits;

    static std::size_t BlockSize(std::size_t block) { return kFirstBlock << block; }
    static std::pair<std::size_t, std::size_t> Locate(std::size_t index) {
        const std::size_t shifted = index + kFirstBlock;
        const std::size_t block = static_cast<std::size_t>(std::bit_width(shifted)) - 1 - kFirstBlockBits;
        return {block, shifted - BlockSize(block)};
    }
    // The place of the element appended next, its block allocated when it is the block's first.
    T* NextPlace() {
        const auto [block, offset] = Locate(size_);
        if (blocks_[block] == nullptr) {
            blocks_[block] =
                static_cast<T*>(::operator new(BlockSize(block) * sizeof(T), std::align_val_t(alignof(T))));
        }
        return blocks_[block] + offset;
    }
    T* Address(std::size_t index) const {
        const auto [block, offset] = Locate(index);
        return blocks_[block] + offset;
    }

    std::array<T*, kBlocks> blocks_{};
    std::size_t size_ = 0;
};

}  // namespace ostrum::catalog
