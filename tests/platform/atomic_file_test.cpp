// Whole-file replace: what survives a kill, and what the replaced file keeps.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

int CountTemporaries(const TempDir& dir, const std::string& name) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir.Root())) {
        const std::string f = e.path().filename().string();
        n += f.size() == name.size() + 7 && f.rfind(name + ".", 0) == 0;
    }
    return n;
}

}  // namespace

TEST(AtomicFileReplace, KeepsModeAndReplacesWhatALinkPointsTo) {
    TempDir dir;
    const std::string target = dir.Path("tone.aly"), link = dir.Path("link.aly");
    std::ofstream(target) << "old";
    ::chmod(target.c_str(), 0640);
    fs::create_symlink(target, link);
    int nError = 0;
    ASSERT_TRUE(ReplaceFileContent(link, "new", nError)) << nError;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(target), "new");
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(CountTemporaries(dir, "tone.aly"), 0);

    // A new file gets the ordinary mode for documents.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(ReplaceFileContent(dir.Path("fresh.aly"), "x", nError));
    ::umask(mask);
    ::stat(dir.Path("fresh.aly").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(AtomicFileReplace, ReadOnlyFileIsRefusedAndKept) {
    TempDir dir;
    const std::string target = dir.Path("ro.aly");
    std::ofstream(target) << "keep";
    ::chmod(target.c_str(), 0444);
    // The superuser may write anything: the check runs as an ordinary user in a child process.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("nobody");
            ::chmod(dir.Root().c_str(), 0777);
            if (pw == nullptr || ::setgid(pw->pw_gid) != 0 || ::setuid(pw->pw_uid) != 0) ::_exit(3);
        }
        int nError = 0;
        const bool bOk = ReplaceFileContent(target, "lost", nError);
        ::_exit(!bOk && nError == EACCES ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not become an ordinary user";
    EXPECT_EQ(Read(target), "keep");
    EXPECT_EQ(CountTemporaries(dir, "ro.aly"), 0);
}

TEST(AtomicFileReplace, KilledSavesLeaveOldOrNewWholeAndTheirLeftoversGoLater) {
    TempDir dir;
    const std::string target = dir.Path("settings.reg");
    const std::string a(200000, 'a'), b(300000, 'b');
    int nError = 0;
    ASSERT_TRUE(ReplaceFileContent(target, a, nError));
    for (int i = 0; i < 20; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int k = 0;; ++k) {
                int e = 0;
                ReplaceFileContent(target, k % 2 ? a : b, e);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + 731 * i % 4000));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = Read(target);
        ASSERT_TRUE(now == a || now == b) << "kill " << i << " left " << now.size() << " bytes";
    }
    // Leftovers of the killed saves: once old enough, the next save removes them.
    for (const auto& e : fs::directory_iterator(dir.Root())) {
        if (e.path() != fs::path(target)) {
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::minutes(2));
        }
    }
    ASSERT_TRUE(ReplaceFileContent(target, a, nError));
    EXPECT_EQ(CountTemporaries(dir, "settings.reg"), 0);
}
