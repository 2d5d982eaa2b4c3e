// The process's message sink.
#include "platform/message_service.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace {

MessageSink g_sink;
thread_local const MessageSink* t_pSink = nullptr;

// The quiet windows: how many are open, and the real stderr while they are.
std::mutex g_quietMutex;
int g_nQuietDepth = 0;
int g_nRealStderr = -1;

}  // namespace

void BeginQuietStderr() {
    const std::lock_guard<std::mutex> lock(g_quietMutex);
    if (g_nQuietDepth++ > 0) return;
    std::fflush(stderr);
    g_nRealStderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (g_nRealStderr >= 0 && devnull >= 0) ::dup2(devnull, STDERR_FILENO);
    if (devnull >= 0) ::close(devnull);
}

void EndQuietStderr() {
    const std::lock_guard<std::mutex> lock(g_quietMutex);
    if (g_nQuietDepth == 0 || --g_nQuietDepth > 0) return;
    std::fflush(stderr);
    if (g_nRealStderr >= 0) {
        ::dup2(g_nRealStderr, STDERR_FILENO);
        ::close(g_nRealStderr);
        g_nRealStderr = -1;
    }
}

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(g_sink, std::move(sink)); }

CThreadMessageSink::CThreadMessageSink(const MessageSink* pSink)
    : m_pPrevious(std::exchange(t_pSink, pSink)) {}
CThreadMessageSink::~CThreadMessageSink() { t_pSink = m_pPrevious; }

void ShowUserMessage(const std::string& strText, MessageIcon icon) {
    if (t_pSink != nullptr && *t_pSink) {
        (*t_pSink)(strText, icon);
        return;
    }
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
    const std::string strOut = "aerolyre: " + strLine + "\n";
    {
        // The real stderr, even while a library's chatter is silenced on another thread.
        const std::lock_guard<std::mutex> lock(g_quietMutex);
        std::fflush(stderr);
        const int fd = g_nQuietDepth > 0 && g_nRealStderr >= 0 ? g_nRealStderr : STDERR_FILENO;
        for (std::size_t nDone = 0; nDone < strOut.size();) {
            const ssize_t n = ::write(fd, strOut.data() + nDone, strOut.size() - nDone);
            if (n <= 0) break;
            nDone += static_cast<std::size_t>(n);
        }
    }
    AppendToMessageLog(strLine);
}
