// The file class: errors that name their cause and file, and exclusive sharing.
#include "platform/file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/stat.h>

#include <vector>

#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

TEST(File, OpenFailureNamesCauseAndFile) {
    TempDir dir;
    const std::string path = dir.Path("missing.wav");
    CFile f;
    CFileException e;
    ASSERT_FALSE(f.Open(path.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(e.GetErrorMessage(), path + ": ファイルまたはフォルダが見つかりません");
    EXPECT_FALSE(f.IsOpen());

    ASSERT_FALSE(f.Open(dir.Root().c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::badPath);
}

TEST(File, ReadReturnsWhatArrived) {
    TempDir dir;
    const std::string path = dir.Path("five.bin");
    WavBytes::Write(path, {1, 2, 3, 4, 5});
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    unsigned char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 3), 3u);
    EXPECT_EQ(f.GetPosition(), 3u);
    EXPECT_EQ(f.Read(buf, 8), 2u);
    EXPECT_EQ(buf[1], 5);
    EXPECT_EQ(f.Read(buf, 8), 0u);
    EXPECT_EQ(f.GetLength(), 5u);
    EXPECT_EQ(f.Seek(1, CFile::begin), 1u);
    EXPECT_EQ(f.Read(buf, 1), 1u);
    EXPECT_EQ(buf[0], 2);
}

TEST(File, ExclusiveSharingRefusesASecondOpenAndLeavesTheFileIntact) {
    TempDir dir;
    const std::string path = dir.Path("held.wav");
    WavBytes::Write(path, {9, 9, 9, 9});
    CFile reader;
    ASSERT_TRUE(reader.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive));

    CFile writer;
    CFileException e;
    EXPECT_FALSE(writer.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &e));
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(WavBytes::ReadFile(path).size(), 4u) << "a refused create must not truncate";

    reader.Close();
    EXPECT_TRUE(writer.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &e));
    EXPECT_EQ(WavBytes::ReadFile(path).size(), 0u);
}

// Readers share and writers exclude, within this process (the table) and against other programs
// (a lock taken on another open of the file, as another process's would be).
TEST(File, ReadersShareAndWritersExclude) {
    TempDir dir;
    const std::string path = dir.Path("shared.wav");
    WavBytes::Write(path, {1, 2, 3, 4});
    constexpr UINT kRead = CFile::modeRead | CFile::shareExclusive;
    constexpr UINT kWrite = CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive;
    const struct {
        const char* name;
        UINT first;      // held by this process (0: nothing)
        int nOtherLock;  // held by another program (0: nothing)
        UINT second;
        bool bOpens;
    } kCases[] = {
        {"two readers here", kRead, 0, kRead, true},
        {"a writer while reading here", kRead, 0, kWrite, false},
        {"a reader while writing here", kWrite, 0, kRead, false},
        {"a reader while another program reads", 0, LOCK_SH, kRead, true},
        {"a reader while another program writes", 0, LOCK_EX, kRead, false},
        {"a writer while another program reads", 0, LOCK_SH, kWrite, false},
    };
    for (const auto& c : kCases) {
        WavBytes::Write(path, {1, 2, 3, 4});
        CFile first;
        if (c.first != 0) {
            ASSERT_TRUE(first.Open(path.c_str(), c.first)) << c.name;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (c.nOtherLock != 0) {
            ASSERT_EQ(::flock(fd, c.nOtherLock | LOCK_NB), 0) << c.name;
        }
        CFile second;
        CFileException e;
        EXPECT_EQ(second.Open(path.c_str(), c.second, &e) != FALSE, c.bOpens) << c.name;
        if (!c.bOpens) {
            EXPECT_EQ(e.m_cause, CFileException::sharingViolation) << c.name;
        }
        ::close(fd);
    }
}

TEST(File, WriteFailureThrowsWithTheCause) {
    // A file size limit stands in for a full disk: the write past it fails with EFBIG.
    TempDir dir;
    const std::string path = dir.Path("limited.bin");
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    const FileSizeLimit limit(4096);
    const std::vector<char> data(8192);
    try {
        f.Write(data.data(), static_cast<UINT>(data.size()));
        FAIL() << "writing past the limit must throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_NE(e.GetErrorMessage().find(path), std::string::npos);
    }
}

TEST(File, ThingsThatAreNotRegularFilesAreRefusedWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir.Path("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/full"), std::string("/dev/zero")}) {
        for (UINT nFlags : {UINT{CFile::modeRead}, UINT{CFile::modeCreate | CFile::modeReadWrite}}) {
            CFile f;
            CFileException e;
            EXPECT_FALSE(f.Open(path.c_str(), nFlags | CFile::shareExclusive, &e)) << path;
            EXPECT_EQ(e.GetErrorMessage(), path + ": 通常のファイルではありません");
        }
    }
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(dir.Path("").c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::badPath);
}
