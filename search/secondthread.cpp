// SPDX-License-Identifier: MIT
#include "search/secondthread.h"

SecondThread::~SecondThread() {
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SecondThread::together(const std::function<void()>& there, const std::function<void()>& here) {
    {
        const std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_work = &there;
    }
    m_wake.notify_all();
    here();
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_work == nullptr; });
}

void SecondThread::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_work; });
        if (m_quit)
            return;
        const std::function<void()>* work = m_work;
        lock.unlock();
        (*work)();
        lock.lock();
        m_work = nullptr;
        m_wake.notify_all();
    }
}
