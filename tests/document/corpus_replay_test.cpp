// Every input the document and settings fuzzers keep (their corpora and the crashers they found)
// goes through the fuzzers' checks once more here, so a fixed fault stays fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "fuzz/document_checks.h"
#include "tests/support/scripted_services.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

struct Input {
    std::string name;
    std::string bytes;
};

std::vector<Input> Inputs(const std::string& target) {
    namespace fs = std::filesystem;
    // A few fixed inputs, so the table is never empty.
    std::vector<Input> inputs = {
        {"builtin_empty", ""},
        {"builtin_header", "\x2AVokra version 1 Copyright 1998 Quorvendale"},
        {"builtin_section", "[SETTINGS]\nFPS_TYPE=3"}};
    const fs::path root = VOKRA_FUZZ_DIR;
    std::vector<fs::path> files;
    std::error_code ec;
    for (const fs::path& dir : {root / "corpus" / target, root / "crashers"}) {
        for (const auto& e : fs::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (e.is_regular_file() &&
                (dir.filename() != "crashers" || name.rfind(target + "-", 0) == 0)) {
                files.push_back(e.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::string name = f.parent_path().filename().string() + "_" + f.filename().string();
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        inputs.push_back({name, test::ReadFile(f.string())});
    }
    return inputs;
}

class VokCorpus_Replays : public ::testing::TestWithParam<Input> {};

TEST_P(VokCorpus_Replays, HoldsTheReaderChecks) {
    test::ScriptedMessages messages;
    messages.AllowAny();
    const char* failed = fuzz::CheckVokBytes(GetParam().bytes);
    EXPECT_EQ(failed, nullptr) << failed;
}

INSTANTIATE_TEST_SUITE_P(Inputs, VokCorpus_Replays, ::testing::ValuesIn(Inputs("vok")),
                         [](const auto& info) { return info.param.name; });

class IniCorpus_Replays : public ::testing::TestWithParam<Input> {};

TEST_P(IniCorpus_Replays, HoldsTheSettingsChecks) {
    const char* failed = fuzz::CheckIniBytes(GetParam().bytes);
    EXPECT_EQ(failed, nullptr) << failed;
}

INSTANTIATE_TEST_SUITE_P(Inputs, IniCorpus_Replays, ::testing::ValuesIn(Inputs("ini")),
                         [](const auto& info) { return info.param.name; });

class MouthsCorpus_Replays : public ::testing::TestWithParam<Input> {};

TEST_P(MouthsCorpus_Replays, HoldsTheExportChecks) {
    const char* failed = fuzz::CheckMouthsAndExport(GetParam().bytes);
    EXPECT_EQ(failed, nullptr) << failed;
}

INSTANTIATE_TEST_SUITE_P(Inputs, MouthsCorpus_Replays, ::testing::ValuesIn(Inputs("mouths")),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vokra
