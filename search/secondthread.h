// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A thread kept for one caller to share work with: together() runs one part here and the other
// there, and returns when both are done. Started at first use, so that it inherits the caller's
// privileges.
class SecondThread {
public:
    SecondThread() = default;
    ~SecondThread();
    SecondThread(const SecondThread&) = delete;
    SecondThread& operator=(const SecondThread&) = delete;

    void together(const std::function<void()>& there, const std::function<void()>& here);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    const std::function<void()>* m_work = nullptr; // handed over, not yet done
    bool m_quit = false;
    std::thread m_thread;
};
