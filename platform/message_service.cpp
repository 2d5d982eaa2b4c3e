// The process's message sink.
#include "platform/message_service.h"

#include <cstdio>
#include <utility>

namespace {

MessageSink g_sink;

}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(g_sink, std::move(sink)); }

void ShowUserMessage(const std::string& strText, MessageIcon icon) {
    if (g_sink) {
        g_sink(strText, icon);
        return;
    }
    std::fprintf(stderr, "%s\n", strText.c_str());
}
