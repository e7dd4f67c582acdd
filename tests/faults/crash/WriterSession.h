#pragma once

#include "faults/crash/StoreModel.h"
#include "faults/crash/WriterProtocol.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quillet::crashtest {

// Acknowledged writes, counted by Write::Kind.
using Counts = std::array<long long, static_cast<std::size_t>(Write::Kind::Undelete) + 1>;

// Follows a writer's report: acknowledged writes go into the model at once; a begun write stays
// pending until its ack. Returns true from onLine to stop reading (ready, or a problem).
class Session
{
public:
    explicit Session(StoreState &model)
        : m_model(model)
    {
    }

    bool onLine(std::string_view line)
    {
        const std::vector<std::string_view> w = words(line);
        if (w[0] == "ready" && w.size() == 2) {
            if (w[1] != std::to_string(m_model.rows.size()))
                return problem("the writer read " + std::string(w[1]) +
                               " rows from the file, the model has " +
                               std::to_string(m_model.rows.size()));
            m_ready = true;
            return true;
        }
        if (w[0] == "begin" && w.size() >= 3) {
            if (m_pending)
                return problem("a write began before the last one was acknowledged: " +
                               std::string(line));
            const std::size_t start = w[0].size() + w[1].size() + 2;
            m_pending = parseWrite(line.substr(start));
            if (!m_pending)
                return problem("unreadable write: " + std::string(line));
            m_pendingSequence = std::string(w[1]);
            return false;
        }
        if (w[0] == "ack" && w.size() == 3) {
            if (!m_pending || w[1] != m_pendingSequence)
                return problem("ack without its begin: " + std::string(line));
            std::optional<StoreState> after = applied(m_model, *m_pending);
            if (!after)
                return problem("the acknowledged write does not fit the model: " +
                               formatWrite(*m_pending));
            if (m_pending->kind == Write::Kind::Delete) {
                const std::size_t removed = m_model.rows.size() - after->rows.size();
                if (w[2] != std::to_string(removed))
                    return problem("deleting " + shown(m_pending->key) + " removed " +
                                   std::string(w[2]) + " rows; the model says " +
                                   std::to_string(removed));
            }
            m_model = std::move(*after);
            ++m_acknowledged[static_cast<std::size_t>(m_pending->kind)];
            m_pending.reset();
            return false;
        }
        return problem("the writer said: " + std::string(line));
    }

    bool ready() const { return m_ready; }
    const std::optional<Write> &pending() const { return m_pending; }
    const std::string &error() const { return m_error; }
    const Counts &acknowledged() const { return m_acknowledged; }

private:
    bool problem(std::string text)
    {
        m_error = std::move(text);
        return true;
    }

    StoreState &m_model;
    bool m_ready = false;
    std::optional<Write> m_pending;
    std::string m_pendingSequence;
    std::string m_error;
    Counts m_acknowledged{};
};

} // namespace quillet::crashtest
