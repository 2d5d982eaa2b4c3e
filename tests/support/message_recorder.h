// Records what the instrument tells the user, in place of message boxes, for the length of a test.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/message_service.h"
#include "res/string_table.h"

class MessageRecorder {
public:
    MessageRecorder() {
        m_previous = SetMessageSink([this](const std::string& s, MessageIcon) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back(s);
        });
    }
    ~MessageRecorder() { SetMessageSink(m_previous); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<std::string> Messages() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }
    // Exactly the one string-table message nId was shown since the last Clear.
    bool ShownOnly(unsigned nId) const {
        const std::vector<std::string> m = Messages();
        return m.size() == 1 && m[0] == ResString(nId);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_messages;
    MessageSink m_previous;
};
