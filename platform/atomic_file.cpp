// Whole-file replace through a temporary, a flush and a rename.
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool FsyncPath(const std::string& strPath, int nFlags) {
    const int fd = ::open(strPath.c_str(), nFlags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool bOk = ::fsync(fd) == 0;
    ::close(fd);
    return bOk;
}

// TARGET.XXXXXX as mkstemp names them: six letters or digits after the target's name and a dot.
bool IsTemporaryOf(const std::string& strName, const std::string& strBase) {
    if (strName.size() != strBase.size() + 7 || strName.compare(0, strBase.size(), strBase) != 0)
        return false;
    if (strName[strBase.size()] != '.') return false;
    for (std::size_t i = strBase.size() + 1; i < strName.size(); ++i) {
        const char c = strName[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

void RemoveStaleTemporaries(const fs::path& target) {
    std::error_code ec;
    const std::string strBase = target.filename().string();
    const auto now = fs::file_time_type::clock::now();
    for (const fs::directory_entry& e :
         fs::directory_iterator(target.parent_path().empty() ? "." : target.parent_path(), ec)) {
        if (!IsTemporaryOf(e.path().filename().string(), strBase) || !e.is_regular_file(ec)) continue;
        const auto age = now - e.last_write_time(ec);
        if (!ec && age > std::chrono::seconds(kStaleTemporarySeconds)) fs::remove(e.path(), ec);
    }
}

}  // namespace

CAtomicFileReplace::~CAtomicFileReplace() {
    if (!m_strTemp.empty()) std::remove(m_strTemp.c_str());
}

bool CAtomicFileReplace::Begin(const std::string& strTarget, int& nError) {
    std::error_code ec;
    fs::path target(strTarget);
    // A link is followed to the file it names, which may not exist yet.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        target = fs::weakly_canonical(target, ec);
    } else {
        ec.clear();
    }
    if (ec) {
        nError = ec.value();
        return false;
    }
    m_strTarget = target.string();

    struct stat st {};
    m_bHadTarget = ::stat(m_strTarget.c_str(), &st) == 0;
    if (m_bHadTarget) {
        if (!S_ISREG(st.st_mode)) {
            nError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return false;
        }
        // Refused as an in-place write would be refused.
        const int fd = ::open(m_strTarget.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            nError = errno;
            return false;
        }
        ::close(fd);
        m_nMode = st.st_mode & 07777;
        m_nUid = st.st_uid;
        m_nGid = st.st_gid;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        m_nMode = 0666 & ~mask;
    }

    RemoveStaleTemporaries(target);
    std::string strTemp = m_strTarget + ".XXXXXX";
    const int fd = ::mkstemp(strTemp.data());
    if (fd < 0) {
        nError = errno;
        return false;
    }
    ::close(fd);
    m_strTemp = strTemp;
    return true;
}

bool CAtomicFileReplace::Commit(int& nError) {
    auto fail = [&] {
        nError = errno != 0 ? errno : EIO;
        return false;
    };
    errno = 0;
    // On the disk before the name points to it: otherwise a power loss can leave an empty file.
    if (!FsyncPath(m_strTemp, O_RDONLY)) return fail();
    if (::chmod(m_strTemp.c_str(), m_nMode) != 0) return fail();
    // Keeping the owner needs the right to give files away; without it the saver owns the file.
    if (m_bHadTarget && ::chown(m_strTemp.c_str(), m_nUid, m_nGid) != 0)
        ::chown(m_strTemp.c_str(), -1, m_nGid);
    if (std::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) return fail();
    m_strTemp.clear();
    // The rename itself, on the disk.
    const fs::path dir = fs::path(m_strTarget).parent_path();
    FsyncPath(dir.empty() ? "." : dir.string(), O_RDONLY | O_DIRECTORY);
    return true;
}

bool ReplaceFileContent(const std::string& strTarget, const std::string& strText, int& nError) {
    CAtomicFileReplace replace;
    if (!replace.Begin(strTarget, nError)) return false;
    const int fd = ::open(replace.TempPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        nError = errno;
        return false;
    }
    std::size_t nDone = 0;
    while (nDone < strText.size()) {
        const ssize_t n = ::write(fd, strText.data() + nDone, strText.size() - nDone);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            nError = n < 0 ? errno : ENOSPC;
            ::close(fd);
            return false;
        }
        nDone += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        nError = errno;
        return false;
    }
    return replace.Commit(nError);
}
