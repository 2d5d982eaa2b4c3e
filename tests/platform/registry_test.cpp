// The registry file: typed values, the export format a person can read, and a damaged file.
#include "platform/registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", m_dir.Root().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    HKEY Open(const char* sub = "Software\\Velmora\\Aerolyre\\AppInfo") {
        HKEY h = nullptr;
        DWORD disp = 0;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &h, &disp),
                  ERROR_SUCCESS);
        return h;
    }
    std::string FileText() {
        std::ifstream in(RegistryFilePath());
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    void WriteFile(const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(RegistryFilePath()).parent_path());
        std::ofstream(RegistryFilePath(), std::ios::binary) << text;
    }
    TempDir m_dir;
};

}  // namespace

TEST_F(RegistryTest, FileIsUnderTheConfigFolder) {
    EXPECT_EQ(RegistryFilePath(), m_dir.Path("Velmora/Aerolyre/registry.reg"));
}

// Without HOME the home is the password database's, never the folder the program started in.
TEST_F(RegistryTest, WithoutHomeTheFileIsUnderThePasswordDatabasesHome) {
    ::unsetenv("XDG_CONFIG_HOME");
    const char* pszHome = std::getenv("HOME");
    const std::string saved = pszHome != nullptr ? pszHome : "";
    ::unsetenv("HOME");
    const passwd* pw = ::getpwuid(::getuid());
    const std::string path = RegistryFilePath();
    if (!saved.empty()) ::setenv("HOME", saved.c_str(), 1);
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(path, std::string(pw->pw_dir) + "/.config/Velmora/Aerolyre/registry.reg");
}

TEST_F(RegistryTest, CreatingAKeyCreatesItEvenWithoutValues) {
    HKEY h = Open();
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(FileText(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n");
}

TEST_F(RegistryTest, StringsAndDwordsRoundTripInTheExportFormat) {
    HKEY h = Open();
    const char text[] = "C:\\tones \"best\"\\a.aly";
    RegSetValueExA(h, "Nerio_Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    const BYTE dw[4] = {0x2c, 0x01, 0, 0};
    RegSetValueExA(h, "Process_Overcycle", 0, REG_DWORD, dw, 4);
    const BYTE neg[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    RegSetValueExA(h, "MainDlgL", 0, REG_DWORD, neg, 4);
    RegCloseKey(h);
    EXPECT_EQ(FileText(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n"
              "\"Nerio_Path\"=\"C:\\\\tones \\\"best\\\"\\\\a.aly\"\n"
              "\"Process_Overcycle\"=dword:0000012c\n"
              "\"MainDlgL\"=dword:ffffffff\n");

    h = Open();
    char buf[256] = {};
    DWORD cb = sizeof buf, type = 0;
    ASSERT_EQ(RegQueryValueExA(h, "Nerio_Path", nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(cb, sizeof text) << "stored with its terminating zero";
    EXPECT_STREQ(buf, text);
    BYTE out[4];
    cb = 4;
    ASSERT_EQ(RegQueryValueExA(h, "MainDlgL", nullptr, &type, out, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(std::memcmp(out, neg, 4), 0);
    EXPECT_EQ(RegQueryValueExA(h, "Missing", nullptr, &type, out, &cb), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
}

TEST_F(RegistryTest, ValueLargerThanTheBufferFails) {
    HKEY h = Open();
    const std::string big(255, 'x');  // 256 bytes with its zero
    RegSetValueExA(h, "Big", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()), 256);
    char buf[256];
    DWORD cb = 255, type = 0;
    EXPECT_EQ(RegQueryValueExA(h, "Big", nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 256u);
    cb = 256;
    EXPECT_EQ(RegQueryValueExA(h, "Big", nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb), ERROR_SUCCESS);
    RegCloseKey(h);
}

TEST_F(RegistryTest, KeysAndValuesOfOthersAreKept) {
    WriteFile(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"X\"=hex:01,02\n\"Y\"=\"y\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n\"Mine\"=\"old\"\n\"Theirs\"=dword:"
        "00000001\n");
    HKEY h = Open();
    RegSetValueExA(h, "Mine", 0, REG_SZ, reinterpret_cast<const BYTE*>("new"), 4);
    RegCloseKey(h);
    EXPECT_EQ(FileText(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"X\"=hex:01,02\n\"Y\"=\"y\"\n\n"
              "[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n\"Mine\"=\"new\"\n\"Theirs\"=dword:"
              "00000001\n");
    // Only the file itself and the saves' lock file: no temporary file is left beside it.
    std::vector<std::string> names;
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(RegistryFilePath()).parent_path())) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(RegistryTest, DamagedFileReadsAsMissingValues) {
    for (const std::string& damage :
         {std::string("\x00\xff\xfe garbage \x01\x02", 14),
          std::string("[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n\"Process_BufSize\"="
                      "\"unterminated\n"
                      "\"Process_Overcycle\"=dword:12\n\"Nerio_Path\"=dword:zzzzzzzz\n")}) {
        WriteFile(damage);
        HKEY h = Open();
        char buf[256];
        DWORD cb = sizeof buf, type = 0;
        for (const char* name : {"Process_BufSize", "Process_Overcycle", "Nerio_Path"}) {
            cb = sizeof buf;
            EXPECT_EQ(RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb),
                      ERROR_FILE_NOT_FOUND)
                << name;
        }
        RegSetValueExA(h, "Process_BufSize", 0, REG_SZ, reinterpret_cast<const BYTE*>("400"), 4);
        RegCloseKey(h);
        h = Open();
        cb = sizeof buf;
        EXPECT_EQ(RegQueryValueExA(h, "Process_BufSize", nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb),
                  ERROR_SUCCESS);
        EXPECT_STREQ(buf, "400");
        RegCloseKey(h);
    }
}

TEST_F(RegistryTest, FileThatCannotBeUsedIsLeftByteForByte) {
    // Too large to be ours, or a folder where the file should be: the key cannot be opened, so
    // the defaults stand and the save writes nothing over another program's data.
    const std::string big =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Other]\n\"Keep\"=\"me\"\n" + std::string(2 << 20, ';');
    WriteFile(big);
    HKEY h = nullptr;
    DWORD disp = 0;
    EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Velmora\\Aerolyre\\AppInfo", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h, &disp),
              ERROR_SUCCESS);
    EXPECT_EQ(FileText(), big);

    // The file grows too large while a key is open: the close writes nothing and says so.
    WriteFile("REGEDIT4\n");
    h = Open();
    RegSetValueExA(h, "Process_BufSize", 0, REG_SZ, reinterpret_cast<const BYTE*>("400"), 4);
    WriteFile(big);
    EXPECT_NE(RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(FileText(), big);

    std::filesystem::remove(RegistryFilePath());
    std::filesystem::create_directories(RegistryFilePath());
    EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Velmora\\Aerolyre\\AppInfo", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h, &disp),
              ERROR_SUCCESS);
}

TEST_F(RegistryTest, ByteOrderMarksAndCarriageReturnRunsReadAsPlainLines) {
    const std::string bom = "\xEF\xBB\xBF";
    WriteFile(bom + "REGEDIT4\r\r\n\r\n" + bom +
              "[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\r\r\n" + bom +
              "\"Process_BufSize\"=\"123\"\r\r\n\"Odd line\r\r\n");
    HKEY h = Open();
    char buf[256];
    DWORD cb = sizeof buf, type = 0;
    ASSERT_EQ(RegQueryValueExA(h, "Process_BufSize", nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb),
              ERROR_SUCCESS);
    EXPECT_STREQ(buf, "123");
    RegSetValueExA(h, "Process_CacheSize", 0, REG_SZ, reinterpret_cast<const BYTE*>("64"), 3);
    RegCloseKey(h);
    const std::string once = FileText();
    EXPECT_EQ(ReformatRegistryText(once), once) << "one save is a fixed point";
    EXPECT_NE(once.find("\"Odd line\n"), std::string::npos) << "lines of others are kept";
}

TEST_F(RegistryTest, StaleTemporariesAreRemovedAndFreshOnesKept) {
    WriteFile("REGEDIT4\n");
    const std::string stale = RegistryFilePath() + ".Ab12Cd", fresh = RegistryFilePath() + ".Xy34Zw",
                      other = RegistryFilePath() + ".notours";
    for (const std::string& p : {stale, fresh, other}) std::ofstream(p) << "x";
    std::filesystem::last_write_time(stale,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5));
    HKEY h = Open();
    RegSetValueExA(h, "Process_BufSize", 0, REG_SZ, reinterpret_cast<const BYTE*>("400"), 4);
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(fresh)) << "may be another save under way";
    EXPECT_TRUE(std::filesystem::exists(other));
}

TEST_F(RegistryTest, FailedSaveSaysSoAndKeepsTheFile) {
    WriteFile(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n\"Process_BufSize\"="
        "\"400\"\n");
    const std::string before = FileText();
    HKEY h = Open();
    const std::string big(4000, 'x');
    RegSetValueExA(h, "Nerio_Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                   static_cast<DWORD>(big.size() + 1));
    testing::internal::CaptureStderr();
    LONG result = ERROR_SUCCESS;
    {
        const FileSizeLimit limit(1000);  // a disk that is full after 1000 bytes
        result = RegCloseKey(h);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(result, ERROR_SUCCESS);
    EXPECT_NE(err.find("aerolyre: the settings were not saved to " + RegistryFilePath() + ": File too large"),
              std::string::npos)
        << err;
    EXPECT_EQ(FileText(), before);
}

TEST_F(RegistryTest, SavesFromTwoProcessesAtOnceKeepEveryValue) {
    // Two programs closing together: each save re-reads and replaces the whole file, so without
    // a lock between processes one save's values vanish under the other's rename.
    constexpr int kSaves = 200;
    pid_t children[2] = {};
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int nFailed = 0;
            for (int i = 0; i < kSaves; ++i) {
                HKEY h = nullptr;
                if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Velmora\\Aerolyre\\AppInfo", 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS) {
                    ++nFailed;
                    continue;
                }
                const std::string name = "P" + std::to_string(c) + "_" + std::to_string(i);
                const std::string value = std::to_string(i * 7 + c);
                RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
                if (RegCloseKey(h) != ERROR_SUCCESS) ++nFailed;
            }
            ::_exit(nFailed == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save reported failure";
    }
    HKEY h = Open();
    int nMissing = 0;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kSaves; ++i) {
            const std::string name = "P" + std::to_string(c) + "_" + std::to_string(i);
            char buf[32] = {};
            DWORD cb = sizeof buf;
            if (RegQueryValueExA(h, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &cb) !=
                    ERROR_SUCCESS ||
                std::string(buf) != std::to_string(i * 7 + c)) {
                ++nMissing;
            }
        }
    }
    RegCloseKey(h);
    EXPECT_EQ(nMissing, 0) << "of " << 2 * kSaves;
}

TEST_F(RegistryTest, SaveThatCannotGetTheLockSaysSoAndChangesNothing) {
    WriteFile(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n\"Process_BufSize\"="
        "\"400\"\n");
    const std::string before = FileText();
    // Another process's save that never finishes: the lock held from a separate open.
    const int fd = ::open((RegistryFilePath() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    HKEY h = Open();
    RegSetValueExA(h, "Process_BufSize", 0, REG_SZ, reinterpret_cast<const BYTE*>("64"), 3);
    testing::internal::CaptureStderr();
    EXPECT_NE(RegCloseKey(h), ERROR_SUCCESS);
    const std::string err = testing::internal::GetCapturedStderr();
    ::close(fd);
    EXPECT_NE(err.find("aerolyre: the settings were not saved to " + RegistryFilePath() +
                       ": another save held " + RegistryFilePath() + ".lock for 2 s"),
              std::string::npos)
        << err;
    EXPECT_EQ(FileText(), before);
}
