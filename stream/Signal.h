// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tsvigil {

// A wake-up between the reader thread and the main thread. A side that has
// nothing to do waits at most one millisecond, or less when the other side
// signals progress; a signal costs one atomic load when nobody waits.
// A wake-up lost to a race costs at most the one-millisecond timeout, the
// same bound as plain polling.
class Signal {
public:
    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_waiters.fetch_add(1, std::memory_order_seq_cst);
        m_cv.wait_for(lock, std::chrono::milliseconds(1));
        m_waiters.fetch_sub(1, std::memory_order_seq_cst);
    }
    bool HasWaiters() const { return m_waiters.load(std::memory_order_seq_cst) != 0; }
    void Notify() {
        if (!HasWaiters()) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::atomic<int> m_waiters{0};
};

}  // namespace tsvigil
