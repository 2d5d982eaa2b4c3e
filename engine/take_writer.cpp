// The take writer's thread and the rows as text.
#include "engine/take_writer.h"

#include <chrono>
#include <cstdio>

CTakeWriter::~CTakeWriter() { Stop(); }

bool CTakeWriter::Start(const std::string& strPath, const std::string& strHeader) {
    m_pFile = std::fopen(strPath.c_str(), "w");
    if (m_pFile == nullptr) return false;
    std::size_t from = 0;
    while (from <= strHeader.size()) {
        const std::size_t to = strHeader.find('\n', from);
        const std::string line =
            strHeader.substr(from, to == std::string::npos ? std::string::npos : to - from);
        if (!line.empty()) std::fprintf(m_pFile, "# %s\n", line.c_str());
        if (to == std::string::npos) break;
        from = to + 1;
    }
    std::fprintf(m_pFile, "# sample,x,y,left,right (or sample,correction,on|off)\n");
    m_bStop.store(false);
    m_bOk = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

bool CTakeWriter::Drain() {
    TakeRow row;
    bool bAny = false;
    while (m_queue.TryPop(row)) {
        if (row.nCorrection >= 0) {
            if (std::fprintf(m_pFile, "%llu,correction,%s\n", static_cast<unsigned long long>(row.nSample),
                             row.nCorrection == 1 ? "on" : "off") < 0) {
                m_bOk = false;
            }
            bAny = true;
            continue;
        }
        // 17 significant digits give back the same double when read.
        if (std::fprintf(m_pFile, "%llu,%.17g,%.17g,%d,%d", static_cast<unsigned long long>(row.nSample),
                         row.dX, row.dY, row.bLeft ? 1 : 0, row.bRight ? 1 : 0) < 0 ||
            (row.dModScale != 1.0 && std::fprintf(m_pFile, ",%.17g", row.dModScale) < 0) ||
            std::fputc('\n', m_pFile) == EOF) {
            m_bOk = false;
        }
        bAny = true;
    }
    return bAny;
}

void CTakeWriter::Run() {
    while (!m_bStop.load()) {
        if (!Drain()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Drain();
}

bool CTakeWriter::Stop() {
    if (m_pFile == nullptr) return true;
    m_bStop.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (m_queue.Dropped() != 0) {
        std::fprintf(m_pFile, "# %zu rows were lost: the disk was too slow\n", m_queue.Dropped());
        m_bOk = false;
    }
    if (std::fclose(m_pFile) != 0) m_bOk = false;
    m_pFile = nullptr;
    return m_bOk;
}
