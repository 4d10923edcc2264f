#include "live/live_ring.h"

#include <algorithm>
#include <chrono>

namespace vokra {

LiveRing::LiveRing(std::size_t capacity) {
    std::size_t size = 1024;
    while (size < capacity && size < (std::size_t{1} << 24)) size <<= 1;
    data_ = std::make_unique<std::int16_t[]>(size);
    mask_ = size - 1;
}

std::size_t LiveRing::Write(const std::int16_t* samples, std::size_t count) {
    const std::uint64_t head = head_.load(std::memory_order_relaxed);
    const std::uint64_t tail = tail_.load(std::memory_order_acquire);
    const std::size_t room = mask_ + 1 - static_cast<std::size_t>(head - tail);
    const std::size_t n = std::min(room, count);
    for (std::size_t i = 0; i < n; ++i) data_[(head + i) & mask_] = samples[i];
    head_.store(head + n, std::memory_order_release);
    Wake();
    return n;
}

std::size_t LiveRing::Read(std::int16_t* out, std::size_t max) {
    const std::uint64_t tail = tail_.load(std::memory_order_relaxed);
    const std::uint64_t head = head_.load(std::memory_order_acquire);
    const std::size_t n = std::min(static_cast<std::size_t>(head - tail), max);
    for (std::size_t i = 0; i < n; ++i) out[i] = data_[(tail + i) & mask_];
    tail_.store(tail + n, std::memory_order_release);
    return n;
}

void LiveRing::Wait(int ms) {
    // The signal is taken back only with the release it stands for, so the count stays at most 1.
    if (ready_.try_acquire_for(std::chrono::milliseconds(ms)))
        signalled_.store(false, std::memory_order_release);
}

void LiveRing::Wake() {
    if (!signalled_.exchange(true, std::memory_order_acq_rel)) ready_.release();
}

}  // namespace vokra
