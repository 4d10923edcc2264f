#pragma once
// The one thing the audio thread touches: a bounded ring of mono samples with one writer and one
// reader, free of locks. The writer copies in and, when the reader has fallen a whole ring
// behind, drops what does not fit (counted) rather than wait.
#include <atomic>
#include <cstdint>
#include <memory>
#include <semaphore>

namespace vokra {

class LiveRing {
public:
    // `capacity` is rounded up to a power of two.
    explicit LiveRing(std::size_t capacity);
    // The writer's side: copies what fits, wakes the reader; the samples that fit. A writer that
    // cannot wait counts the rest as dropped.
    std::size_t Write(const std::int16_t* samples, std::size_t count);
    // The reader's side: up to `max` samples into `out`; how many.
    std::size_t Read(std::int16_t* out, std::size_t max);
    // Waits until the writer has written since the last wait, or `ms` have passed.
    void Wait(int ms);
    // Wakes the reader without samples (the input ended, or a stop was asked).
    void Wake();
    void CountDropped(std::size_t count) { dropped_.fetch_add(count, std::memory_order_relaxed); }
    std::uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }
    // Times of arrival are kept by the writer's count: the number of samples ever written.
    std::uint64_t Written() const { return head_.load(std::memory_order_acquire); }

private:
    std::unique_ptr<std::int16_t[]> data_;
    std::size_t mask_;
    std::atomic<std::uint64_t> head_{0};  // samples ever written
    std::atomic<std::uint64_t> tail_{0};  // samples ever read
    std::atomic<std::uint64_t> dropped_{0};
    // Released only when signalled_ turns true, so the semaphore never passes one.
    std::atomic<bool> signalled_{false};
    std::binary_semaphore ready_{0};
};

}  // namespace vokra
