// SPDX-License-Identifier: MIT
#pragma once

#include "history/history.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// Reads the history for a window on a thread of its own: a long history takes a while to walk,
// and the window keeps answering meanwhile. The window asks; when the answer is in, its slot
// `wake` is called by name and it takes the answer from under the mutex.
template <typename Answer> class HistoryLoader {
public:
    using Question = std::function<Answer(const HistoryReader&)>;

    HistoryLoader(QString gitFolder, QObject* window, const char* wake)
        : m_gitFolder(std::move(gitFolder)), m_window(window), m_wake(wake) {
        m_thread = std::thread([this] { run(); });
    }
    // Waits for at most the one read under way.
    ~HistoryLoader() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_question.reset();
        }
        m_asking.notify_one();
        m_thread.join();
    }
    HistoryLoader(const HistoryLoader&) = delete;
    HistoryLoader& operator=(const HistoryLoader&) = delete;

    // Replaces a question not yet taken up: only the latest is answered.
    void ask(Question question) {
        {
            const std::lock_guard lock(m_mutex);
            m_question = std::move(question);
        }
        m_asking.notify_one();
    }
    // Whether a newer question waits or the loader is going: a long answer may stop early, as
    // nobody will take it.
    bool superseded() const {
        const std::lock_guard lock(m_mutex);
        return m_stopping || m_question.has_value();
    }
    // The latest answer not yet taken.
    std::optional<Answer> take() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_answer, std::nullopt);
    }

private:
    void run() {
        for (;;) {
            Question question;
            {
                std::unique_lock lock(m_mutex);
                m_asking.wait(lock, [this] { return m_stopping || m_question; });
                if (m_stopping)
                    return;
                question = std::move(*m_question);
                m_question.reset();
            }
            // A handle opened afresh sees whatever the history's thread has written since.
            const HistoryReader reader(m_gitFolder);
            Answer answer = question(reader);
            {
                const std::lock_guard lock(m_mutex);
                if (m_stopping)
                    return;
                m_answer = std::move(answer);
            }
            // Only a wake-up: the answer crosses under the mutex, and the window's destructor
            // joins this thread, so the window is there.
            QMetaObject::invokeMethod(m_window, m_wake, Qt::QueuedConnection);
        }
    }

    const QString m_gitFolder;
    QObject* const m_window;
    const char* const m_wake;
    mutable std::mutex m_mutex;
    std::condition_variable m_asking;
    std::optional<Question> m_question; // guarded by m_mutex
    std::optional<Answer> m_answer;     // guarded by m_mutex
    bool m_stopping = false;            // guarded by m_mutex
    std::thread m_thread;               // last: started once everything it uses exists
};
