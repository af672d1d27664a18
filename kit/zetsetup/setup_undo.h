// The steps of an operation that is done completely or not at all: each step that changed
// something records how to take the change back, and unless the operation commits, the
// recorded steps run in reverse order when the log goes out of scope.
#pragma once

#include <functional>
#include <utility>
#include <vector>

class UndoLog {
public:
    UndoLog() = default;
    ~UndoLog()
    {
        if (!m_committed)
            Rollback();
    }
    UndoLog(const UndoLog&) = delete;
    UndoLog& operator=(const UndoLog&) = delete;

    void Add(std::function<void()> undo) { m_steps.push_back(std::move(undo)); }
    // Keeps every change: nothing is undone.
    void Commit() { m_committed = true; }
    // Undoes every recorded change now, the latest first.
    void Rollback()
    {
        while (!m_steps.empty()) {
            std::function<void()> step = std::move(m_steps.back());
            m_steps.pop_back();
            step();
        }
    }

private:
    std::vector<std::function<void()>> m_steps;
    bool m_committed = false;
};
