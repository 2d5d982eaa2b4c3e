// The file class over POSIX descriptors. Sharing is an advisory lock between processes (flock)
// plus a table of the files this process holds, since flock does not refuse a second open of the
// same file from within one process. Readers share (a shared lock): any number may read one file,
// since none of them can harm it; a writer excludes every other open.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/shown_text.h"

namespace {

// Not a system error number: the cause for a path that names something other than a file.
constexpr int kNotRegularFile = -1;

CFileException::Cause CauseFromErrno(int nError) {
    switch (nError) {
        case kNotRegularFile: return CFileException::badPath;
        case ENOENT: return CFileException::fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case EISDIR: return CFileException::badPath;
        case EMFILE:
        case ENFILE: return CFileException::tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS: return CFileException::accessDenied;
        case EWOULDBLOCK: return CFileException::sharingViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return CFileException::diskFull;
        case EIO: return CFileException::hardIO;
        default: return CFileException::genericException;
    }
}

// Files this process holds with sharing, by device and inode: how many readers, or kWriter. Opens
// are rare and happen on the user-interface thread or when a stream opens, never on the audio path.
constexpr int kWriter = -1;
std::mutex g_openFilesMutex;
std::map<std::pair<std::uint64_t, std::uint64_t>, int> g_openFiles;

// The cause in the words of the program's own language; a system error this table lacks keeps
// the C library's text, so no failure is ever reported without its reason.
struct ErrnoText {
    int nError;
    const char* pszText;
};
constexpr ErrnoText kErrnoTexts[] = {
    {kNotRegularFile, "通常のファイルではありません"},
    {ENOENT, "ファイルまたはフォルダが見つかりません"},
    {ENOTDIR, "パスの途中にフォルダでないものがあります"},
    {EISDIR, "ファイルではなくフォルダです"},
    {ENAMETOOLONG, "ファイル名が長すぎます"},
    {ELOOP, "シンボリックリンクの階層が深すぎます"},
    {EACCES, "アクセスが拒否されました"},
    {EPERM, "アクセスが拒否されました"},
    {EROFS, "読み取り専用のファイルシステムです"},
    {EMFILE, "開いているファイルが多すぎます"},
    {ENFILE, "開いているファイルが多すぎます"},
    {EWOULDBLOCK, "ほかのプログラムが使用中です"},
    {ENOSPC, "ディスクの空き容量が足りません"},
    {EDQUOT, "ディスクの使用量の上限を超えました"},
    {EFBIG, "ファイルサイズの上限を超えました"},
    {EIO, "入出力エラーが発生しました"},
};
constexpr const char* kEndOfFileText = "ファイルが途中で終わっています";
constexpr const char* kGenericText = "ファイルエラーが発生しました";

const char* JapaneseTextForErrno(int nError) {
    for (const ErrnoText& e : kErrnoTexts) {
        if (e.nError == nError) return e.pszText;
    }
    return nullptr;
}

}  // namespace

std::string CFileException::GetErrorMessage() const {
    std::string strCause;
    if (m_lOsError != 0) {
        const char* pszText = JapaneseTextForErrno(m_lOsError);
        strCause = pszText != nullptr ? ShownText(pszText) : std::strerror(m_lOsError);
    } else if (m_cause == endOfFile) {
        strCause = ShownText(kEndOfFileText);
    } else if (m_cause == sharingViolation) {
        strCause = ShownText(JapaneseTextForErrno(EWOULDBLOCK));
    } else {
        strCause = ShownText(kGenericText);
    }
    return m_strFileName.empty() ? strCause : m_strFileName + ": " + strCause;
}

std::vector<const char*> CFileException::CauseTexts() {
    std::vector<const char*> texts;
    for (const ErrnoText& e : kErrnoTexts) texts.push_back(e.pszText);
    texts.push_back(kEndOfFileText);
    texts.push_back(kGenericText);
    return texts;
}

CFile::~CFile() { Abort(); }

BOOL CFile::Open(const char* pszFileName, UINT nOpenFlags, CFileException* pError) {
    Abort();
    m_strFileName = pszFileName != nullptr ? pszFileName : "";

    int nFlags = O_CLOEXEC;
    if (nOpenFlags & modeReadWrite) {
        nFlags |= O_RDWR;
    } else if (nOpenFlags & modeWrite) {
        nFlags |= O_WRONLY;
    } else {
        nFlags |= O_RDONLY;
    }
    // No O_TRUNC: a file is emptied only after the sharing check, so a refused create leaves an
    // existing file (say the accompaniment being read) intact.
    if (nOpenFlags & modeCreate) nFlags |= O_CREAT;

    auto fail = [&](int nError) {
        if (pError != nullptr) *pError = CFileException(CauseFromErrno(nError), nError, m_strFileName);
        Abort();
        return FALSE;
    };

    // Only regular files: a named pipe or a device would block the open or the reads for ever.
    // O_NONBLOCK keeps the open itself from waiting, should one appear between the two looks.
    struct stat st {};
    if (::stat(m_strFileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return fail(S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile);
    }
    m_fd = ::open(m_strFileName.c_str(), nFlags | O_NONBLOCK, 0666);
    if (m_fd < 0) return fail(errno);
    if (::fstat(m_fd, &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile);
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);

    if (nOpenFlags & shareExclusive) {
        const bool bReader = (nFlags & (O_WRONLY | O_RDWR | O_CREAT)) == 0;
        {
            std::lock_guard<std::mutex> lock(g_openFilesMutex);
            const auto [it, bNew] = g_openFiles.emplace(std::pair{st.st_dev, st.st_ino}, 0);
            if (!bNew && (!bReader || it->second == kWriter)) return fail(EWOULDBLOCK);
            it->second = bReader ? it->second + 1 : kWriter;
        }
        m_bRegistered = true;
        m_dev = st.st_dev;
        m_ino = st.st_ino;
        if (::flock(m_fd, (bReader ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) return fail(errno);
    }

    if ((nOpenFlags & modeCreate) && ::ftruncate(m_fd, 0) != 0) return fail(errno);
    return TRUE;
}

UINT CFile::Read(void* pBuf, UINT nCount) {
    auto* p = static_cast<char*>(pBuf);
    UINT nDone = 0;
    while (nDone < nCount) {
        const ssize_t n = ::read(m_fd, p + nDone, nCount - nDone);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno);
        }
        if (n == 0) break;
        nDone += static_cast<UINT>(n);
    }
    return nDone;
}

void CFile::Write(const void* pBuf, UINT nCount) {
    const auto* p = static_cast<const char*>(pBuf);
    UINT nDone = 0;
    while (nDone < nCount) {
        const ssize_t n = ::write(m_fd, p + nDone, nCount - nDone);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno);
        }
        nDone += static_cast<UINT>(n);
    }
}

std::uint64_t CFile::Seek(std::int64_t lOff, UINT nFrom) {
    const int nWhence = nFrom == end ? SEEK_END : nFrom == current ? SEEK_CUR : SEEK_SET;
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(lOff), nWhence);
    if (pos < 0) ThrowErrno(errno);
    return static_cast<std::uint64_t>(pos);
}

std::uint64_t CFile::GetPosition() const {
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0) ThrowErrno(errno);
    return static_cast<std::uint64_t>(pos);
}

std::uint64_t CFile::GetLength() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) ThrowErrno(errno);
    return static_cast<std::uint64_t>(st.st_size);
}

void CFile::SetLength(std::uint64_t nLength) {
    if (::ftruncate(m_fd, static_cast<off_t>(nLength)) != 0) ThrowErrno(errno);
}

void CFile::Close() {
    int nError = 0;
    if (m_fd >= 0 && ::close(m_fd) != 0 && errno != EINTR) nError = errno;
    m_fd = -1;
    Abort();
    if (nError != 0) ThrowErrno(nError);
}

void CFile::Abort() {
    if (m_fd >= 0) {
        ::close(m_fd);  // also releases the flock
        m_fd = -1;
    }
    if (m_bRegistered) {
        std::lock_guard<std::mutex> lock(g_openFilesMutex);
        const auto it = g_openFiles.find({m_dev, m_ino});
        if (it != g_openFiles.end() && (it->second == kWriter || --it->second == 0)) g_openFiles.erase(it);
        m_bRegistered = false;
    }
}

void CFile::ThrowErrno(int nError) const {
    throw CFileException(CauseFromErrno(nError), nError, m_strFileName);
}
