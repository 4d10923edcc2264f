// vokra-cli live end to end: raw PCM on standard input in every layout gives the frames of the
// same sound read from a file; a take is written as a document and never over another file; a
// Ctrl+C ends a real-time run cleanly with its take; bad options are usage errors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

#include "sound/import/wave_bytes.h"
#include "tests/cli/cli_process_run.h"
#include "tests/shapes/speech_like.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

// vokra-cli with `stdinPath` as its standard input; returns the child's pid when `wait` is false.
test::CliRun RunWithInput(const test::TempDir& dir, std::vector<std::string> args,
                          const std::string& stdinPath,
                          const std::function<void(pid_t)>& during = {}) {
    const std::string outPath = dir.File("live-out.txt");
    const std::string errPath = dir.File("live-err.txt");
    args.insert(args.begin(), VOKRA_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = ::open(stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    if (during) during(pid);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadFile(outPath),
            test::ReadFile(errPath)};
}

void WriteBytes(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

TEST(CliLive, RawPcmInEveryLayoutGivesTheFileFrames) {
    test::TempDir dir;
    const std::int32_t rate = 16000;
    const auto line =
        test::WithNoise(test::SpokenLine(rate), rate, test::NoiseKind::Pink, 0.0, 45.0);
    ASSERT_TRUE(WriteWaveFile(dir.File("line.wav"), line, rate));
    const auto fromFile =
        RunWithInput(dir, {"live", "--input", dir.File("line.wav"), "--no-wait"}, "");
    ASSERT_EQ(fromFile.exit, 0) << fromFile.err;
    EXPECT_GE(std::count(fromFile.out.begin(), fromFile.out.end(), '\n'), 340);
    EXPECT_EQ(fromFile.out.rfind("{\"time\":0,\"mouth\":\"X\",\"weights\":{\"A\":0,", 0), 0u);

    // The same samples as mono and stereo 16-bit, and as 32-bit float (exact for 16-bit values).
    std::vector<std::int16_t> stereo;
    std::vector<float> floats;
    for (std::int16_t s : line) {
        stereo.push_back(s);
        stereo.push_back(s);
        floats.push_back(static_cast<float>(s) / 32767.0f);
    }
    WriteBytes(dir.File("mono.raw"), line.data(), line.size() * 2);
    WriteBytes(dir.File("stereo.raw"), stereo.data(), stereo.size() * 2);
    WriteBytes(dir.File("float.raw"), floats.data(), floats.size() * 4);
    struct Case {
        const char* file;
        std::vector<std::string> layout;
    };
    const Case cases[] = {
        {"mono.raw", {}}, {"stereo.raw", {"--channels", "2"}}, {"float.raw", {"--format", "f32"}}};
    for (const Case& c : cases) {
        for (bool fastest : {true, false}) {
            SCOPED_TRACE(std::string(c.file) + (fastest ? " fastest" : " paced"));
            std::vector<std::string> args = {"live", "--input", "-", "--rate", "16000"};
            args.insert(args.end(), c.layout.begin(), c.layout.end());
            if (fastest) args.push_back("--no-wait");
            const auto run = RunWithInput(dir, args, dir.File(c.file));
            ASSERT_EQ(run.exit, 0) << run.err;
            EXPECT_EQ(run.out, fromFile.out);
        }
    }
}

TEST(CliLive, TakeIsADocumentBesideItsOwnSound) {
    test::TempDir dir;
    const std::int32_t rate = 16000;
    const auto line = test::SpokenLine(rate);
    ASSERT_TRUE(WriteWaveFile(dir.File("line.wav"), line, rate));
    // A file already under the take's sound name is not the take's: it is kept.
    WriteBytes(dir.File("take-take.wav"), "mine", 4);
    const auto run = RunWithInput(
        dir,
        {"live", "--input", dir.File("line.wav"), "--no-wait", "--record", dir.File("take.vok")},
        "");
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_TRUE(run.out.empty());  // only the take was asked for
    EXPECT_EQ(test::ReadFile(dir.File("take-take.wav")), "mine");
    EXPECT_FALSE(test::ReadFile(dir.File("take-take-2.wav")).empty());
    const auto info = test::RunCliProcess(dir, {"info", dir.File("take.vok")});
    ASSERT_EQ(info.exit, 0) << info.err;
    EXPECT_NE(info.out.find("sound file: take-take-2.wav"), std::string::npos) << info.out;
    const auto keys = info.out.find("\nkeys: ");
    ASSERT_NE(keys, std::string::npos);
    EXPECT_GT(std::stoi(info.out.substr(keys + 7)), 40);
    const auto at = info.out.find("\nshapes: ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(std::stoi(info.out.substr(at + 9)), 40);

    // The take may not be the sound it listens to.
    const auto same = RunWithInput(
        dir,
        {"live", "--input", dir.File("line.wav"), "--no-wait", "--record", dir.File("line.wav")},
        "");
    EXPECT_EQ(same.exit, 2);
    EXPECT_EQ(test::ReadFile(dir.File("line.wav")).size(), 44 + line.size() * 2);
}

TEST(CliLive, CtrlCEndsARealTimeRunWithItsTake) {
    test::TempDir dir;
    const std::int32_t rate = 16000;
    ASSERT_TRUE(WriteWaveFile(dir.File("line.wav"), test::SpokenLine(rate), rate));
    const auto run = RunWithInput(
        dir, {"live", "--input", dir.File("line.wav"), "--jsonl", "--record", dir.File("take.vok")},
        "", [](pid_t pid) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            ::kill(pid, SIGINT);
        });
    ASSERT_EQ(run.exit, 0) << run.err;
    const auto lines = std::count(run.out.begin(), run.out.end(), '\n');
    EXPECT_GT(lines, 50);
    EXPECT_LT(lines, 340);  // ended before the sound did
    EXPECT_FALSE(test::ReadFile(dir.File("take.vok")).empty());
}

TEST(CliLive, UsageErrors) {
    test::TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"live", "--look-ahead", "121"},
        {"live", "--hold", "-1"},
        {"live", "--sensitivity", "2"},
        {"live", "--input", "-"},
        {"live", "--rate", "16000"},
        {"live", "--input", "-", "--rate", "16000", "--format", "u8"},
        {"live", "--no-wait"},
        {"live", "--vmc", "host:99999"},
        {"live", "--vts", "http://x"},
        {"live", "--bogus"},
    };
    for (const auto& args : cases) {
        const auto run = test::RunCliProcess(dir, args);
        EXPECT_EQ(run.exit, 2) << args.back() << run.err;
        EXPECT_NE(run.err.find("vokra-cli live:"), std::string::npos);
    }
    const auto help = test::RunCliProcess(dir, {"live", "--help"});
    EXPECT_EQ(help.exit, 0);
    for (const char* option : {"--input", "--no-wait", "--rate", "--channels", "--format",
                               "--device", "--list-devices", "--look-ahead", "--hold",
                               "--sensitivity", "--jsonl", "--vmc", "--vrm1", "--vts", "--record"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace vokra
