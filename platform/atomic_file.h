// Replacing a file as a whole, so that a crash, a kill or a full disk leaves either the old
// content or the new, never half of it: the new content goes to a temporary file beside the
// target (TARGET.XXXXXX), is flushed to the disk, takes the replaced file's mode (and owner,
// where permitted) and is renamed over the target. A symbolic link keeps pointing where it did:
// the file it points to is replaced. Temporaries that a killed process left behind are removed
// at the next replace of the same target.
#pragma once

#include <string>

class CAtomicFileReplace {
public:
    CAtomicFileReplace() = default;
    // Removes the temporary unless Commit succeeded.
    ~CAtomicFileReplace();
    CAtomicFileReplace(const CAtomicFileReplace&) = delete;
    CAtomicFileReplace& operator=(const CAtomicFileReplace&) = delete;

    // Makes the temporary for strTarget; false with errno's value in nError when it cannot be
    // made or when an existing target cannot be opened for writing (a read-only file is refused,
    // as writing it in place would be).
    bool Begin(const std::string& strTarget, int& nError);
    // The temporary's path, to write the new content to.
    const std::string& TempPath() const { return m_strTemp; }
    // Flushes the temporary, gives it the target's mode and owner and renames it over the target.
    bool Commit(int& nError);

private:
    std::string m_strTarget;  // the file replaced: the link's destination for a symbolic link
    std::string m_strTemp;
    bool m_bHadTarget = false;
    unsigned m_nMode = 0;
    unsigned m_nUid = 0;
    unsigned m_nGid = 0;
};

// Writes text as the whole new content of strTarget; false with errno's value in nError.
bool ReplaceFileContent(const std::string& strTarget, const std::string& strText, int& nError);

// How old a leftover temporary must be before another replace removes it: a younger one may
// belong to a save under way in another process.
constexpr int kStaleTemporarySeconds = 60;
