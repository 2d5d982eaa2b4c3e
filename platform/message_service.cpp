// The process's message sink.
#include "platform/message_service.h"

#include <cstdio>
#include <cstdlib>
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

void AppendToMessageLog(const std::string& strText) {
    static const char* const pszLog = std::getenv("AEROLYRE_MESSAGE_LOG");
    if (pszLog == nullptr) return;
    if (std::FILE* f = std::fopen(pszLog, "a")) {
        std::fprintf(f, "%s\n", strText.c_str());
        std::fclose(f);
    }
}

void LogLine(const std::string& strLine) {
    std::fprintf(stderr, "aerolyre: %s\n", strLine.c_str());
    AppendToMessageLog(strLine);
}
