// vokra-cli batch: a manifest of good and bad lines keyed on two threads (every line reported as
// JSON, the good ones written as `shapes` writes them, the bad ones refused without touching a
// file), then again with --resume; the manifest reader's table and its fuzz corpus replayed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/batch_manifest.h"
#include "fuzz/manifest_checks.h"
#include "shapes/script_phonemes.h"
#include "tests/cli/cli_process_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

namespace fs = std::filesystem;

std::string Spoken(const std::string& text) {
    std::vector<std::int16_t> speech;
    ScriptSpeechOptions o;
    o.wordsPerMinute = 160;
    o.speech = &speech;
    EXPECT_TRUE(PhonemesOfScript(text, "en-us", o).ok());
    std::vector<std::int16_t> samples(kScriptSpeechRate / 4, 0);
    samples.insert(samples.end(), speech.begin(), speech.end());
    samples.insert(samples.end(), kScriptSpeechRate / 4, 0);
    return test::MakeWav16(samples, kScriptSpeechRate);
}

// line -> status, from the JSON lines of standard error (each one must parse).
std::map<int, nlohmann::json> ItemsOf(const std::string& err, nlohmann::json& summary) {
    std::map<int, nlohmann::json> items;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << line;
        if (j.value("type", "") == "summary") summary = j;
        if (j.value("type", "") == "item") items[j.at("line").get<int>()] = j;
    }
    return items;
}

TEST(CliBatch, MixedLinesParallelThenResumed) {
    test::TempDir dir;
    const std::string a = "Bring the blue box to my mother.";
    const std::string b = "Where are you going so early?";
    test::WriteFile(dir.File("a.wav"), Spoken(a));
    test::WriteFile(dir.File("b.wav"), Spoken(b));
    test::WriteFile(dir.File("a.txt"), a);
    ::mkdir(dir.File("out").c_str(), 0755);
    const std::string wavBytes = test::ReadFile(dir.File("a.wav"));
    test::WriteFile(dir.File("out/taken.tsv"), "keep me");
    std::string manifest =
        "sound,text,language,output,format\n"
        "a.wav,a.txt,en-us,out/a.tsv,tsv\n"    // 2: with its script
        "b.wav,,,out/b.json,\n"                // 3: format from the extension
        "missing.wav,,,out/m.tsv,tsv\n"        // 4: no such sound
        "a.wav,,,a.wav,tsv\n"                  // 5: output is its own input
        "b.wav,,,out/dup.tsv,\n"               // 6: same output as line 7
        "a.wav,,,out/../out/dup.tsv,\n"        // 7
        "a.wav,,,out/x.txt,mp4\n"              // 8: no such format
        "b.wav,,,a.txt,tsv\n"                  // 9: output is line 2's script
        "a.wav,a.txt,xx-nowhere,out/l.tsv,\n"  // 10: no such language
        "a.wav,\"" +
        std::string(1 << 20, 'x') +
        "\",,out/big.tsv,\n"                         // 11: a 1 MB line
        "\"b.wav\",a.txt,,\"out/a,dat.dat\",dat\n";  // 12: default language, quoted comma
    test::WriteFile(dir.File("list.csv"), manifest);

    const test::CliRun r =
        test::RunCliProcess(dir, {"batch", dir.File("list.csv"), "-j", "2", "--progress", "jsonl"});
    EXPECT_EQ(r.exit, 1) << r.err;
    nlohmann::json summary;
    std::map<int, nlohmann::json> items = ItemsOf(r.err, summary);
    const std::map<int, std::string> want = {
        {2, "done"},   {3, "done"},   {4, "failed"},  {5, "failed"},  {6, "failed"}, {7, "failed"},
        {8, "failed"}, {9, "failed"}, {10, "failed"}, {11, "failed"}, {12, "done"}};
    for (const auto& [line, status] : want) {
        ASSERT_TRUE(items.count(line)) << line << "\n" << r.err;
        EXPECT_EQ(items[line].at("status"), status) << items[line].dump();
        if (status == "failed") {
            EXPECT_FALSE(items[line].value("error", "").empty());
        }
    }
    EXPECT_EQ(summary.value("failed", 0), 8);
    EXPECT_EQ(summary.value("done", 0), 3);

    // The good lines are what `shapes` writes; nothing else was touched.
    const test::CliRun alone = test::RunCliProcess(
        dir, {"shapes", dir.File("a.wav"), "--text", dir.File("a.txt"), "--language", "en-us"});
    EXPECT_EQ(test::ReadFile(dir.File("out/a.tsv")), alone.out);
    EXPECT_EQ(test::ReadFile(dir.File("out/b.json")),
              test::RunCliProcess(dir, {"shapes", dir.File("b.wav"), "--format", "json"}).out);
    EXPECT_EQ(test::ReadFile(dir.File("out/a,dat.dat")).rfind("MohoSwitch1\n", 0), 0u);
    EXPECT_EQ(test::ReadFile(dir.File("a.wav")), wavBytes);
    EXPECT_EQ(test::ReadFile(dir.File("a.txt")), a);
    EXPECT_FALSE(fs::exists(dir.File("out/dup.tsv")));
    EXPECT_FALSE(fs::exists(dir.File("out/m.tsv")));

    // Resumed: the lines written are skipped, until an input changes.
    const test::CliRun again = test::RunCliProcess(
        dir, {"batch", dir.File("list.csv"), "--resume", "-j2", "--progress=jsonl"});
    items = ItemsOf(again.err, summary);
    EXPECT_EQ(items[2].at("status"), "skipped");
    EXPECT_EQ(items[3].at("status"), "skipped");
    EXPECT_EQ(items[12].at("status"), "skipped");
    ::sleep(1);  // a later modification time on any file system
    test::WriteFile(dir.File("a.txt"), a);
    items = ItemsOf(
        test::RunCliProcess(dir, {"batch", dir.File("list.csv"), "--resume", "--progress", "jsonl"})
            .err,
        summary);
    EXPECT_EQ(items[2].at("status"), "done");
    EXPECT_EQ(items[3].at("status"), "skipped");
    EXPECT_EQ(items[12].at("status"), "done");
}

TEST(CliBatch, ManifestsThatCannotBeRead) {
    test::TempDir dir;
    const std::string fifo = dir.File("pipe.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    test::WriteFile(dir.File("bad.csv"), "sound,output,colour\na.wav,a.tsv,red\n");
    struct Case {
        std::vector<std::string> args;
        int exit;
        const char* says;
    };
    const Case cases[] = {
        {{"batch", fifo}, 1, "not a regular file"},
        {{"batch", dir.Path()}, 1, "folder"},
        {{"batch", dir.File("none.csv")}, 1, "No such file"},
        {{"batch", dir.File("bad.csv")}, 1, "unknown column 'colour'"},
        {{"batch", dir.File("bad.csv"), "--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"batch", dir.File("bad.csv"), "-j", "0"}, 2, "-j must be a whole number"},
        {{"batch"}, 2, "no manifest given"},
    };
    for (const Case& c : cases) {
        const test::CliRun r = test::RunCliProcess(dir, c.args);
        EXPECT_EQ(r.exit, c.exit) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

struct ManifestCase {
    const char* name;
    std::string text;
    std::string error;                    // the whole manifest's, or ""
    std::vector<std::string> itemErrors;  // per item ("" when usable)
    std::vector<std::string> sounds;      // per item, resolved
};

class BatchManifest_Reads : public ::testing::TestWithParam<ManifestCase> {};

TEST_P(BatchManifest_Reads, ItemsAndErrors) {
    const ManifestCase& c = GetParam();
    const BatchManifest m = ParseBatchManifest(c.text, "/m");
    EXPECT_EQ(m.error, c.error);
    ASSERT_EQ(m.items.size(), c.itemErrors.size());
    for (std::size_t i = 0; i < m.items.size(); ++i) {
        EXPECT_EQ(m.items[i].error, c.itemErrors[i]) << i;
        if (i < c.sounds.size()) {
            EXPECT_EQ(m.items[i].sound, c.sounds[i]) << i;
        }
    }
    EXPECT_EQ(fuzz::CheckManifest(c.text), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BatchManifest_Reads,
    ::testing::Values(
        ManifestCase{"CsvAnyOrderCrlfQuotes",
                     "\xEF\xBB\xBF"
                     "output, sound\r\n\"o,1.tsv\",\"a \"\"b\"\".wav\"\r\n\r\no2,/abs.wav\r\n",
                     "",
                     {"", ""},
                     {"/m/a \"b\".wav", "/abs.wav"}},
        ManifestCase{"CsvMissingValues",
                     "sound,output\n,o.tsv\na.wav\nb.wav,o.tsv,extra\n",
                     "",
                     {"line 2 names no sound", "line 3 names no output",
                      "line 4 has 3 fields; the header names 2"},
                     {}},
        ManifestCase{"CsvUnclosedQuote",
                     "sound,output\n\"a.wav,o.tsv\n",
                     "",
                     {"line 2 opens a quoted field that is never closed"},
                     {}},
        ManifestCase{"CsvHeaderTwice",
                     "sound,sound,output\n",
                     "the header names the column 'sound' twice; the columns are sound, text, "
                     "language, output and format",
                     {},
                     {}},
        ManifestCase{"CsvNoOutputColumn",
                     "sound,text\n",
                     "the header must name the columns sound and output (with text, language and "
                     "format when wanted)",
                     {},
                     {}},
        ManifestCase{"Empty",
                     "",
                     "the manifest is empty; its first line names the columns: "
                     "sound,text,language,output,format",
                     {},
                     {}},
        ManifestCase{
            "JsonLines",
            "{\"sound\":\"a.wav\",\"output\":\"a.tsv\",\"text\":\"a.txt\"}\n\n"
            "{\"sound\":\"b.wav\",\"output\":3}\n[1]\n{\"sound\":{\"deep\":[[[]]]}}\n"
            "{\"sound\":\"c.wav\",\"output\":\"c\",\"colour\":\"red\"}\n{\"sound\":",
            "",
            {"", "line 3 gives \"output\" a value that is not a string",
             "line 4 is not a JSON object", "line 5 gives \"sound\" a value that is not a string",
             "line 6 has an unknown key \"colour\"; the keys are sound, text, language, "
             "output and format",
             "line 7 is not a JSON object"},
            {"/m/a.wav"}}),
    [](const auto& info) { return std::string(info.param.name); });

// What the manifest fuzzer kept and found is read again, under the same checks.
TEST(BatchManifest_Corpus, KeptInputsStillRead) {
    const fs::path root = VOKRA_FUZZ_DIR;
    int read = 0;
    for (const fs::path& d : {root / "corpus" / "manifest", root / "crashers"}) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(d, ec)) {
            const std::string name = e.path().filename().string();
            if (d.filename() == "crashers" && name.rfind("manifest", 0) != 0) continue;
            EXPECT_EQ(fuzz::CheckManifest(test::ReadFile(e.path().string())), nullptr) << name;
            ++read;
        }
    }
    EXPECT_GE(read, 2);
}

}  // namespace
}  // namespace vokra
