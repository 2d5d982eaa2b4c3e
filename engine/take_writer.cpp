// The take writer's thread and the rows as text.
#include "engine/take_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace {

// The longest a played row waits before it is on the disk: a killed program's take still renders.
constexpr auto kFlushInterval = std::chrono::milliseconds(100);

void AppendRow(std::string& out, const TakeRow& row) {
    char sz[160];
    const auto nSample = static_cast<unsigned long long>(row.nSample);
    if (row.nCorrection >= 0) {
        std::snprintf(sz, sizeof sz, "%llu,correction,%s\n", nSample, row.nCorrection == 1 ? "on" : "off");
    } else if (row.nMidiSize > 0) {
        int n = std::snprintf(sz, sizeof sz, "%llu,midi,", nSample);
        for (int i = 0; i < row.nMidiSize && i < 3; ++i)
            n += std::snprintf(sz + n, sizeof sz - static_cast<std::size_t>(n), i == 0 ? "%02x" : " %02x",
                               row.midi[i]);
        std::snprintf(sz + n, sizeof sz - static_cast<std::size_t>(n), "\n");
    } else {
        // 17 significant digits give back the same double when read.
        int n = std::snprintf(sz, sizeof sz, "%llu,%.17g,%.17g,%d,%d", nSample, row.dX, row.dY,
                              row.bLeft ? 1 : 0, row.bRight ? 1 : 0);
        if (row.dModScale != 1.0)
            n += std::snprintf(sz + n, sizeof sz - static_cast<std::size_t>(n), ",%.17g", row.dModScale);
        std::snprintf(sz + n, sizeof sz - static_cast<std::size_t>(n), "\n");
    }
    out += sz;
}

}  // namespace

CTakeWriter::~CTakeWriter() { Stop(); }

bool CTakeWriter::Start(const std::string& strPath, const std::string& strHeader, bool bNew) {
    // A new name is made here or not at all: another program that chose it in the same second
    // gets EEXIST and a name of its own.
    m_fd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (bNew ? O_EXCL : O_TRUNC), 0666);
    if (m_fd < 0) return false;
    m_strPath = strPath;
    std::string text;
    std::size_t from = 0;
    while (from <= strHeader.size()) {
        const std::size_t to = strHeader.find('\n', from);
        const std::string line =
            strHeader.substr(from, to == std::string::npos ? std::string::npos : to - from);
        if (!line.empty()) text += "# " + line + "\n";
        if (to == std::string::npos) break;
        from = to + 1;
    }
    text += "# sample,x,y,left,right (or sample,correction,on|off)\n";
    m_bOk = WriteAll(text);
    m_nRows = 0;
    m_bStop.store(false);
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool CTakeWriter::WriteAll(const std::string& text) {
    std::size_t nDone = 0;
    while (nDone < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + nDone, text.size() - nDone);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        nDone += static_cast<std::size_t>(n);
    }
    return true;
}

bool CTakeWriter::Drain() {
    TakeRow row;
    bool bAny = false;
    while (m_queue.TryPop(row)) {
        AppendRow(m_strPending, row);
        ++m_nRows;
        bAny = true;
    }
    return bAny;
}

// Whole rows only reach the file, at most kFlushInterval after they were played.
void CTakeWriter::Run() {
    auto last = std::chrono::steady_clock::now();
    while (!m_bStop.load()) {
        if (!Drain()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto now = std::chrono::steady_clock::now();
        if (!m_strPending.empty() && now - last >= kFlushInterval) {
            if (!WriteAll(m_strPending)) m_bOk = false;
            m_strPending.clear();
            last = now;
        }
    }
    Drain();
    if (!m_strPending.empty() && !WriteAll(m_strPending)) m_bOk = false;
    m_strPending.clear();
}

bool CTakeWriter::Stop() {
    if (m_fd < 0) return true;
    m_bStop.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (m_queue.Dropped() != 0) {
        char sz[96];
        std::snprintf(sz, sizeof sz, "# %zu rows were lost: the disk was too slow\n", m_queue.Dropped());
        WriteAll(sz);
        m_bOk = false;
    }
    if (::close(m_fd) != 0) m_bOk = false;
    m_fd = -1;
    // A take of nothing renders nothing: it is not kept.
    if (m_nRows == 0) ::unlink(m_strPath.c_str());
    return m_bOk;
}
