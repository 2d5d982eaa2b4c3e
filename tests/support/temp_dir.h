// A private folder for a test's files, removed with everything in it when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "aerolyre-test-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr) std::abort();
        m_path = templ;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Root() const { return m_path; }

private:
    std::filesystem::path m_path;
};
