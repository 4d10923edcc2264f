#pragma once
// A document test's surroundings: a temporary folder holding the settings file, scripted message
// boxes and file dialogs, and the shared values (sound, current directory) put back afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "document/app_values.h"
#include "document/key_edit.h"
#include "document/vokra_doc.h"
#include "platform/ini_file.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra::test {

// Keeps the last edit the document recorded for undo, and how many it recorded since the history
// was last cleared.
class LastEdit final : public KeyEditSink {
public:
    void Record(KeyEdit&& edit) override {
        edit_ = std::move(edit);
        ++count_;
    }
    void Clear() override { count_ = 0; }
    const KeyEdit& Edit() const { return edit_; }
    int Count() const { return count_; }

private:
    KeyEdit edit_;
    int count_ = 0;
};

class DocFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char buf[PATH_MAX];
        savedCwd_ = ::getcwd(buf, sizeof buf) ? buf : "/";
        savedIni_ = Profile().Path();
        Profile().SetPath(IniPath());
        g_currentDir.clear();
        messages_ = std::make_unique<ScriptedMessages>();
        dialogs_ = std::make_unique<ScriptedFileDialogs>();
    }

    void TearDown() override {
        doc_.reset();
        messages_.reset();
        dialogs_.reset();
        g_sound.Unload();
        g_maxAmplitude = 1.0;
        g_currentDir.clear();
        Profile().SetPath(savedIni_);
        (void)::chdir(savedCwd_.c_str());
    }

    std::string IniPath() const { return iniDir_.File("vokra.INI"); }

    // A document as the framework first makes it: constructed, then New.
    CVokraDoc& NewDoc() {
        doc_ = std::make_unique<CVokraDoc>();
        doc_->OnNewDocument();
        return *doc_;
    }

    // A mono 16-bit WAVE file of `seconds` at `rate`, written into the temporary folder.
    std::string MakeSound(const std::string& name, double seconds, std::uint32_t rate = 8000) {
        const std::string path = dir_.File(name);
        WriteFile(path, MakeWav16(VoiceLike(seconds, rate), rate));
        return path;
    }

    static void SetKeys(CVokraDoc& doc, const std::vector<std::pair<int, float>>& keys) {
        for (const auto& [frame, opening] : keys) doc.GetKeys().SetKey(Keyframe(frame, opening));
    }

    static std::vector<std::pair<int, float>> KeysOf(const CVokraDoc& doc) {
        std::vector<std::pair<int, float>> out;
        const KeyframeList& keys = doc.GetKeys();
        for (int i = 0; i < keys.GetCount(); ++i) {
            out.emplace_back(keys.GetAt(i)->GetFrame(), keys.GetAt(i)->GetOpening());
        }
        return out;
    }

    TempDir iniDir_;  // apart from dir_, so that tests can count the files they make
    TempDir dir_;
    std::unique_ptr<ScriptedMessages> messages_;
    std::unique_ptr<ScriptedFileDialogs> dialogs_;
    std::unique_ptr<CVokraDoc> doc_;

private:
    std::string savedCwd_;
    std::string savedIni_;
};

}  // namespace vokra::test
