// The render tool as a user runs it: options, messages, exit status, output that sox reads.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "res/string_table.h"
#include "tests/support/pitch.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

struct ToolRun {
    int nExit;
    std::string strErr;
};

// prefix: shell words before the tool (a limit, a timer).
ToolRun RunTool(const std::string& args, const TempDir& dir, const std::string& prefix = "") {
    const std::string err = dir.Path("stderr.txt");
    const std::string cmd =
        "bash -c '" + prefix + std::string(AEROLYRE_RENDER_PATH) + " " + args + " 2>" + err + "'";
    const int status = std::system(cmd.c_str());
    std::ifstream in(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            std::string((std::istreambuf_iterator<char>(in)), {})};
}

std::string Script(const TempDir& dir, const std::string& text) {
    const std::string path = dir.Path("g.csv");
    std::ofstream(path) << text;
    return path;
}

}  // namespace

TEST(RenderTool, RendersAGestureToAWavThatSoxReads) {
    TempDir dir;
    const std::string gesture = Script(dir, "0,0.5,0.1,0,0\n5000,0.6,0.1,1,0\n12345,0,0,0,0\n");
    const std::string out = dir.Path("out.wav");
    const ToolRun r = RunTool("--overcycle 4 " + gesture + " " + out, dir);
    ASSERT_EQ(r.nExit, 0) << r.strErr;
    EXPECT_EQ(r.strErr, "");
    FILE* p = ::popen(("soxi -s " + out + " 2>&1").c_str(), "r");
    char buf[64] = {};
    ASSERT_NE(std::fgets(buf, sizeof buf, p), nullptr);
    ::pclose(p);
    EXPECT_EQ(std::string(buf), "12345\n");
    EXPECT_EQ(WavBytes::ReadFile(out).size(), 44u + 2 * 12345);
}

TEST(RenderTool, SameInputsSameBytes) {
    TempDir dir;
    const std::string accomp = dir.Path("a.wav");
    WavBytes::Write(accomp, WavBytes::Make({}, std::vector<unsigned char>(150000, 9)));
    const std::string gesture = Script(dir, "0,0.5,0.1,0,0\n30000,0.8,0.0,0,1\n70000,0,0,0,0\n");
    const std::string opts =
        "--overcycle 8 --accomp " + accomp + " --accomp-loop --record " + dir.Path("r.wav") + " ";
    ASSERT_EQ(RunTool(opts + gesture + " " + dir.Path("1.wav"), dir).nExit, 0);
    const std::vector<unsigned char> rec1 = WavBytes::ReadFile(dir.Path("r.wav"));
    ASSERT_EQ(RunTool(opts + gesture + " " + dir.Path("2.wav"), dir).nExit, 0);
    EXPECT_EQ(WavBytes::ReadFile(dir.Path("1.wav")), WavBytes::ReadFile(dir.Path("2.wav")));
    EXPECT_EQ(WavBytes::ReadFile(dir.Path("r.wav")), rec1);
    EXPECT_EQ(rec1.size(), 44u + 2 * 70000);
}

TEST(RenderTool, RefusedSettingsPrintTheMessageAndExit2) {
    TempDir dir;
    const std::string gesture = Script(dir, "0,0.5,0.1,0,0\n100,0,0,0,0\n");
    const std::string out = dir.Path("o.wav");
    struct Case {
        std::string args;
        unsigned nMessage;
    } cases[] = {
        {"--buffer 0", 1000},
        {"--buffer 4294967297", 1000},
        {"--cache 20000", 1011},
        {"--accomp x.mp3", 1010},
        {"--tone " + dir.Path("none.aly"), 2101},
    };
    for (const Case& c : cases) {
        const ToolRun r = RunTool(c.args + " " + gesture + " " + out, dir);
        EXPECT_EQ(r.nExit, 2) << c.args;
        EXPECT_NE(r.strErr.find(ResString(c.nMessage)), std::string::npos) << c.args << ": " << r.strErr;
    }
    EXPECT_EQ(RunTool("--overcycle 3 " + gesture + " " + out, dir).nExit, 2);
    EXPECT_EQ(RunTool(gesture, dir).nExit, 2);
    EXPECT_EQ(RunTool(Script(dir, "10,0,0,0,0\n5,0,0,0,0\n") + " " + out, dir).nExit, 2);
    // Correction rows with no tuning to correct to, and strengths out of range.
    const std::string toggled = Script(dir, "0,0.5,0.1,0,0\n50,correction,off\n100,0,0,0,0\n");
    const ToolRun r = RunTool(toggled + " " + out, dir);
    EXPECT_EQ(r.nExit, 2);
    EXPECT_NE(r.strErr.find("correction rows need --quantise or --scale"), std::string::npos) << r.strErr;
    EXPECT_EQ(RunTool("--quantise " + toggled + " " + out, dir).nExit, 0);
    for (const char* s : {"101", "-1", "x", "1000"}) {
        EXPECT_EQ(
            RunTool(std::string("--quantise --correction-strength ") + s + " " + gesture + " " + out, dir)
                .nExit,
            2)
            << s;
    }
    EXPECT_EQ(RunTool("--midi-rate fast " + gesture + " " + out, dir).nExit, 2);
}

TEST(RenderTool, BufferOfOneRendersNothing) {
    TempDir dir;
    const std::string out = dir.Path("o.wav");
    const ToolRun r = RunTool("--buffer 1 " + Script(dir, "0,0.5,0.1,0,0\n0,0,0,0,0\n") + " " + out, dir);
    EXPECT_EQ(r.nExit, 0) << r.strErr;
    EXPECT_EQ(WavBytes::ReadFile(out).size(), 44u);
}

TEST(RenderTool, LengthBeyondWhatAWavHoldsIsRefusedBeforeRendering) {
    TempDir dir;
    for (const char* last : {"2147483630", "18446744073709551615"}) {
        const std::string gesture = Script(dir, std::string("0,0.5,0.1,0,0\n") + last + ",0,0,0,0\n");
        const ToolRun r = RunTool(gesture + " " + dir.Path("out.wav"), dir);
        EXPECT_EQ(r.nExit, 2);
        EXPECT_NE(r.strErr.find("more than a WAV file holds"), std::string::npos) << r.strErr;
        EXPECT_FALSE(std::filesystem::exists(dir.Path("out.wav")));
    }
}

TEST(RenderTool, FailedWriteLeavesAnEarlierOutputAsItWas) {
    TempDir dir;
    const std::string out = dir.Path("out.wav");
    const std::vector<unsigned char> earlier(5000, 0x33);
    WavBytes::Write(out, earlier);
    // A 64 KiB file size limit: the render of 100000 samples cannot be written whole.
    const std::string gesture = Script(dir, "0,0.5,0.1,0,0\n100000,0,0,0,0\n");
    const ToolRun r = RunTool("--buffer 400 " + gesture + " " + out, dir, "ulimit -f 64; ");
    EXPECT_EQ(r.nExit, 2);
    EXPECT_NE(r.strErr.find(out), std::string::npos) << r.strErr;
    EXPECT_EQ(WavBytes::ReadFile(out), earlier);
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Root()))
        n += e.path().filename().string().rfind("out.wav", 0) == 0;
    EXPECT_EQ(n, 1) << "no temporary is left";
}

TEST(RenderTool, LongRendersStreamToDiskInConstantMemory) {
    // Ten minutes of sound; the tool's largest resident size stays far below the 53 MB it renders.
    TempDir dir;
    const std::string gesture = Script(dir, "0,0.5,0.1,0,0\n26460000,0,0,0,0\n");
    const ToolRun r = RunTool("--buffer 10000 " + gesture + " " + dir.Path("out.wav"), dir,
                              "/usr/bin/time -f \"maxrss %M\" ");
    ASSERT_EQ(r.nExit, 0) << r.strErr;
    EXPECT_EQ(WavBytes::ReadFile(dir.Path("out.wav")).size(), 44u + 2 * 26460000u);
    const std::size_t at = r.strErr.find("maxrss ");
    ASSERT_NE(at, std::string::npos) << r.strErr;
    EXPECT_LT(std::stol(r.strErr.substr(at + 7)), 30000) << "KiB";
}

TEST(RenderTool, QuantiseOptionsChooseTheTuning) {
    TempDir dir;
    const std::string gesture = Script(dir, "0,0.43,0.1,0,0\n44100,0,0,0,0\n");
    const std::string plain = dir.Path("plain.wav"), tet = dir.Path("tet.wav"), ref = dir.Path("ref.wav");
    ASSERT_EQ(RunTool(gesture + " " + plain, dir).nExit, 0);
    ASSERT_EQ(RunTool("--quantise " + gesture + " " + tet, dir).nExit, 0);
    ASSERT_EQ(RunTool("--quantise --reference 415 " + gesture + " " + ref, dir).nExit, 0);
    EXPECT_NE(WavBytes::ReadFile(plain), WavBytes::ReadFile(tet));
    EXPECT_NE(WavBytes::ReadFile(tet), WavBytes::ReadFile(ref));

    const std::string scl = dir.Path("bad.scl");
    std::ofstream(scl) << "desc\n3\n100.\n";
    const ToolRun r = RunTool("--scale " + scl + " " + gesture + " " + dir.Path("s.wav"), dir);
    EXPECT_EQ(r.nExit, 2);
    EXPECT_EQ(r.strErr, scl + " line 4: fewer notes than the count\n");
    EXPECT_EQ(RunTool("--reference 0 " + gesture + " " + dir.Path("s.wav"), dir).nExit, 2);

    // A named pipe as the scale or the map is refused at once; `timeout` turns a wait into 124.
    const std::string fifo = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& opts : {"--scale " + fifo, "--scale " + dir.Path("ok.scl") + " --kbm " + fifo}) {
        std::ofstream(dir.Path("ok.scl")) << "desc\n1\n2/1\n";
        const ToolRun p = RunTool(opts + " " + gesture + " " + dir.Path("p.wav"), dir, "timeout 10 ");
        EXPECT_EQ(p.nExit, 2) << opts;
        EXPECT_EQ(p.strErr, fifo + ": 通常のファイルではありません\n");
    }
}

TEST(RenderTool, CommandLineConventions) {
    TempDir dir;
    const std::string gesture = Script(dir, "sample,x,y,left,right\n0,0.5,0.1,0,0\n4410,0,0,0,0\n");
    // --help on standard output with status 0; --version.
    EXPECT_EQ(RunTool("--help >" + dir.Path("help.txt"), dir).nExit, 0);
    const std::vector<unsigned char> help = WavBytes::ReadFile(dir.Path("help.txt"));
    EXPECT_EQ(std::string(help.begin(), help.begin() + std::min<std::size_t>(22, help.size())),
              "usage: aerolyre-render");
    EXPECT_EQ(RunTool("--version >" + dir.Path("v.txt"), dir).nExit, 0);
    EXPECT_EQ(WavBytes::ReadFile(dir.Path("v.txt")).size(), std::string("aerolyre-render 1.1.0\n").size());
    // Unknown options are named; a missing value is said.
    ToolRun r = RunTool("--fast " + gesture + " " + dir.Path("o.wav"), dir);
    EXPECT_EQ(r.nExit, 2);
    EXPECT_EQ(r.strErr, "aerolyre-render: unknown option '--fast'\nTry 'aerolyre-render --help'.\n");
    r = RunTool(gesture + " " + dir.Path("o.wav") + " --tone", dir);
    EXPECT_NE(r.strErr.find("option '--tone' needs a value"), std::string::npos) << r.strErr;
    r = RunTool("--overcycle=3 " + gesture + " " + dir.Path("o.wav"), dir);
    EXPECT_NE(r.strErr.find("invalid value '3' for --overcycle"), std::string::npos) << r.strErr;
    // --opt=value and --opt value give the same; a header line is accepted.
    ASSERT_EQ(RunTool("--overcycle=4 --buffer=200 " + gesture + " " + dir.Path("a.wav"), dir).nExit, 0);
    ASSERT_EQ(RunTool("--overcycle 4 --buffer 200 " + gesture + " " + dir.Path("b.wav"), dir).nExit, 0);
    EXPECT_EQ(WavBytes::ReadFile(dir.Path("a.wav")), WavBytes::ReadFile(dir.Path("b.wav")));
    // '-' is standard input and output; '--' ends the options.
    ASSERT_EQ(RunTool("--overcycle 4 --buffer 200 - - <" + gesture + " >" + dir.Path("c.wav"), dir).nExit, 0);
    EXPECT_EQ(WavBytes::ReadFile(dir.Path("c.wav")), WavBytes::ReadFile(dir.Path("a.wav")));
    std::filesystem::copy_file(gesture, dir.Path("--odd.csv"));
    EXPECT_EQ(RunTool("-- " + dir.Path("--odd.csv") + " " + dir.Path("d.wav"), dir).nExit, 0);
    // Errors name their files.
    r = RunTool("--tone " + dir.Path("missing.aly") + " " + gesture + " " + dir.Path("o.wav"), dir);
    EXPECT_EQ(r.nExit, 2);
    EXPECT_NE(r.strErr.find(dir.Path("missing.aly") + ": "), std::string::npos) << r.strErr;
    // A recording may not land on another input or output.
    for (const std::string& target : {gesture, dir.Path("a.wav")}) {
        const std::vector<unsigned char> before = WavBytes::ReadFile(target);
        r = RunTool("--record " + target + " " + gesture + " " + dir.Path("a.wav"), dir);
        EXPECT_EQ(r.nExit, 2);
        EXPECT_NE(r.strErr.find("would overwrite"), std::string::npos) << r.strErr;
        EXPECT_EQ(WavBytes::ReadFile(target), before);
    }
    // No progress line when the output is not a terminal; one on a terminal, erased at the end.
    const std::string longGesture = Script(dir, "0,0.5,0.1,0,0\n441000,0,0,0,0\n");
    EXPECT_EQ(RunTool(longGesture + " " + dir.Path("long.wav"), dir).strErr, "");
    const std::string tty = dir.Path("tty.txt");
    const std::string cmd = "script -qec \"" + std::string(AEROLYRE_RENDER_PATH) + " " + longGesture + " " +
                            dir.Path("long2.wav") + "\" /dev/null >" + tty + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::vector<unsigned char> shown = WavBytes::ReadFile(tty);
    const std::string strShown(shown.begin(), shown.end());
    EXPECT_NE(strShown.find("rendering"), std::string::npos) << strShown;
    EXPECT_NE(strShown.find("of 10.0 s)"), std::string::npos) << strShown;
    EXPECT_NE(strShown.find("\r\033[K"), std::string::npos);
    EXPECT_EQ(WavBytes::ReadFile(dir.Path("long2.wav")), WavBytes::ReadFile(dir.Path("long.wav")));
}

namespace {

std::vector<std::int16_t> Samples(const std::string& path) {
    const std::vector<unsigned char> b = WavBytes::ReadFile(path);
    std::vector<std::int16_t> s;
    for (std::size_t i = 44; i + 1 < b.size(); i += 2)
        s.push_back(static_cast<std::int16_t>(b[i] | (b[i + 1] << 8)));
    return s;
}

std::vector<std::string> FilesUnder(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) files.push_back(std::filesystem::relative(e.path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST(Examples, AreWhatTheirGeneratorWrites) {
    TempDir dir;
    const std::string cmd = std::string(AEROLYRE_MAKE_EXAMPLES_PATH) + " " + dir.Path("ex");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string committed = std::string(AEROLYRE_SOURCE_DIR) + "/examples";
    std::vector<std::string> expected = FilesUnder(committed);
    std::erase(expected, "README.md");
    ASSERT_EQ(FilesUnder(dir.Path("ex")), expected);
    for (const std::string& f : expected) {
        EXPECT_EQ(WavBytes::ReadFile(dir.Path("ex/" + f)), WavBytes::ReadFile(committed + "/" + f)) << f;
    }
}

TEST(Examples, EveryTonePlaysEveryGesture) {
    TempDir dir;
    const std::string ex = std::string(AEROLYRE_SOURCE_DIR) + "/examples";
    for (const char* tone : {"plain", "room", "feedback"}) {
        for (const char* gesture : {"scale", "glide-vibrato"}) {
            const std::string out = dir.Path(std::string(tone) + "-" + gesture + ".wav");
            const ToolRun r = RunTool(
                "--tone " + ex + "/tones/" + tone + ".aly " + ex + "/gestures/" + gesture + ".csv " + out,
                dir);
            ASSERT_EQ(r.nExit, 0) << tone << " " << gesture << ": " << r.strErr;
            EXPECT_EQ(r.strErr, "");
            const std::vector<std::int16_t> s = Samples(out);
            double dSquares = 0.0;
            int nPeak = 0;
            for (std::int16_t v : s) {
                dSquares += static_cast<double>(v) * v;
                nPeak = std::max(nPeak, std::abs(static_cast<int>(v)));
            }
            const double dRms = std::sqrt(dSquares / s.size());
            EXPECT_GT(dRms, 3000.0) << tone << " " << gesture;  // clearly audible
            EXPECT_LT(nPeak, 32767) << tone << " " << gesture;  // and never clipped
        }
    }
    // The plain tone plays the scale's notes in tune: the middle of each 0.4 s note.
    const std::vector<std::int16_t> s = Samples(dir.Path("plain-scale.wav"));
    const int aSteps[] = {0, 2, 4, 5, 7, 9, 11, 12};
    for (int i = 0; i < 8; ++i) {
        const double dExpected = 261.6255653005986 * std::pow(2.0, aSteps[i] / 12.0);
        const std::size_t from = 17640 * i + 8820;
        EXPECT_NEAR(MeasureHz(s, from, from + 8820), dExpected, dExpected * 0.003) << "note " << i;
    }
}
