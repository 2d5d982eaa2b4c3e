// The file class the instrument's file code is written against: open for reading or create for
// writing, read, write, seek, position, length, close. Errors other than a short read are raised
// as CFileException, which carries the cause and the file name and can say both to the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

class CFileException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        sharingViolation,
        diskFull,
        endOfFile,
        hardIO,
    };

    CFileException() = default;
    CFileException(Cause cause, int nOsError, std::string strFileName)
        : m_cause(cause), m_lOsError(nOsError), m_strFileName(std::move(strFileName)) {}

    // The standard file error message: the cause in words and the file's name.
    std::string GetErrorMessage() const;
    // Every cause text GetErrorMessage gives in the program's own words, for the translations.
    static std::vector<const char*> CauseTexts();

    Cause m_cause = none;
    int m_lOsError = 0;  // errno, 0 when the cause did not come from the system
    std::string m_strFileName;
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        modeCreate = 0x1000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the file; on failure returns FALSE and, when pError is given, fills it. modeCreate
    // makes the file empty, but only once this process holds it. With shareExclusive an open to
    // read shares the file with other readers (in this process or another), and an open to write
    // excludes everyone: a file that a writer holds, or that anyone holds when a writer comes, is
    // refused (sharingViolation) and left as it was.
    BOOL Open(const char* pszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

    // Reads up to nCount bytes; returns how many arrived (fewer only at the end of the file).
    UINT Read(void* pBuf, UINT nCount);
    // Writes all nCount bytes or throws.
    void Write(const void* pBuf, UINT nCount);
    std::uint64_t Seek(std::int64_t lOff, UINT nFrom);
    std::uint64_t GetPosition() const;
    std::uint64_t GetLength() const;
    // Cuts or extends the file to nLength bytes.
    void SetLength(std::uint64_t nLength);
    // Closes the file; a failure to close (data not written) throws after the file is released.
    void Close();
    // Closes the file and ignores any error.
    void Abort();

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& GetFilePath() const { return m_strFileName; }

private:
    [[noreturn]] void ThrowErrno(int nError) const;

    int m_fd = -1;
    std::string m_strFileName;
    bool m_bRegistered = false;  // holds an entry in the process's table of shared opens
    std::uint64_t m_dev = 0;
    std::uint64_t m_ino = 0;
};
