// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>

namespace pikota::sound {

// A lock-free ring for exactly one producer thread and one consumer thread (the audio callback on one
// side, a reader or writer thread on the other). Capacity is rounded up to a power of two.
template <typename T> class SpscRing {
public:
    explicit SpscRing(std::size_t capacity) {
        std::size_t size = 1;
        while (size < capacity)
            size <<= 1;
        mask_ = size - 1;
        data_ = std::make_unique<T[]>(size); // zeroed: every page is there from the start, memory stays flat
    }

    std::size_t capacity() const { return mask_ + 1; }
    std::size_t readable() const {
        return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire);
    }
    std::size_t writable() const { return capacity() - readable(); }

    // Producer side: copies up to `count` items in, returns how many fitted.
    std::size_t push(const T* items, std::size_t count) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t head = head_.load(std::memory_order_acquire);
        const std::size_t n = std::min(count, capacity() - (tail - head));
        const std::size_t at = tail & mask_;
        const std::size_t first = std::min(n, capacity() - at); // up to the end of the storage, then from 0
        std::copy_n(items, first, &data_[at]);
        std::copy_n(items + first, n - first, &data_[0]);
        tail_.store(tail + n, std::memory_order_release);
        return n;
    }

    // Consumer side: copies up to `count` items out, returns how many there were.
    std::size_t pop(T* items, std::size_t count) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        const std::size_t n = std::min(count, tail - head);
        const std::size_t at = head & mask_;
        const std::size_t first = std::min(n, capacity() - at);
        std::copy_n(&data_[at], first, items);
        std::copy_n(&data_[0], n - first, items + first);
        head_.store(head + n, std::memory_order_release);
        return n;
    }

    // Only while neither side is running.
    void clear() {
        head_.store(0, std::memory_order_relaxed);
        tail_.store(0, std::memory_order_relaxed);
    }

private:
    std::unique_ptr<T[]> data_;
    std::size_t mask_ = 0;
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

} // namespace pikota::sound
