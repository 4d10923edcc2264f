#pragma once
// The surroundings of an application test: a temporary folder with the settings file (VOKRA_INI),
// scripted message boxes and file dialogs, an audio device whose position the test sets, and the
// shared values put back afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QStringList>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/vokra_app.h"
#include "document/app_values.h"
#include "document/vokra_doc.h"
#include "platform/audio_device.h"
#include "platform/help_service.h"
#include "platform/ini_file.h"
#include "sound/sound_data.h"
#include "tests/support/scripted_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra::test {

// What the fake device was asked to play and what it reports; the test moves `heard`.
struct FakeAudioState {
    std::int64_t heard = 0;
    bool done = false;
    std::vector<std::int32_t> prepared;  // sample counts of the buffers queued
    int resets = 0;
};

class FakeAudioDevice final : public AudioDevice {
public:
    explicit FakeAudioDevice(std::shared_ptr<FakeAudioState> s) : s_(std::move(s)) {}
    bool Open(int) override { return true; }
    bool Prepare(const std::int16_t*, std::int32_t count) override {
        s_->prepared.push_back(count);
        return true;
    }
    bool Write() override {
        s_->heard = 0;
        s_->done = false;
        return true;
    }
    std::int64_t GetPosition() override { return s_->heard; }
    bool Reset() override {
        ++s_->resets;
        s_->done = true;
        return true;
    }
    bool IsDone() override { return s_->done; }
    void Unprepare() override {}
    void Close() override {}

private:
    std::shared_ptr<FakeAudioState> s_;
};

class RecordingHelp final : public HelpService {
public:
    bool Open(int context) override {
        contexts.push_back(context);
        return opens;
    }
    std::vector<int> contexts;
    bool opens = true;
};

// Counts the updates the document sends to its views.
class CountingView final : public View {
public:
    void OnUpdate(View*, int hint) override { hints.push_back(hint); }
    std::vector<int> hints;
};

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char buf[PATH_MAX];
        savedCwd_ = ::getcwd(buf, sizeof buf) ? buf : "/";
        ::setenv("VOKRA_INI", IniPath().c_str(), 1);
        audio_ = std::make_shared<FakeAudioState>();
        auto audio = audio_;
        SetAudioDeviceFactory([audio] { return std::make_unique<FakeAudioDevice>(audio); });
        messages_ = std::make_unique<ScriptedMessages>();
        dialogs_ = std::make_unique<ScriptedFileDialogs>();
        SetHelpService(&help_);
    }

    void TearDown() override {
        Stop();
        messages_.reset();
        dialogs_.reset();
        SetHelpService(nullptr);
        g_sound.Unload();
        SetAudioDeviceFactory(nullptr);
        g_showSeconds = 0;
        g_currentDir.clear();
        Profile().SetPath(std::string());
        ::unsetenv("VOKRA_INI");
        (void)::chdir(savedCwd_.c_str());
    }

    // Runs start-up as the program does, with the given command-line arguments.
    void Start(const QStringList& arguments = {}) {
        AppOptions options;
        options.programPath = dir_.File("vokra");
        options.installServices = false;
        app_ = std::make_unique<CVokraApp>(options);
        ASSERT_TRUE(app_->InitInstance(arguments));
        QApplication::processEvents();
    }
    void Stop() {
        if (app_) {
            for (View* v : extraViews_) app_->GetDocument()->RemoveView(v);
        }
        extraViews_.clear();
        app_.reset();
    }

    CMainFrame& Frame() { return *app_->GetMainFrame(); }
    CVokraDoc& Doc() { return *app_->GetDocument(); }
    void Watch(View* view) {
        Doc().AddView(view);
        extraViews_.push_back(view);
    }

    std::string IniPath() const { return dir_.File("vokra.INI"); }
    // A voice-like mono 16-bit sound of `seconds` written into the temporary folder.
    std::string MakeVoice(const std::string& name, double seconds, std::uint32_t rate = 22050) {
        const std::string path = dir_.File(name);
        WriteFile(path, MakeWav16(VoiceLike(seconds, rate), rate));
        return path;
    }

    TempDir dir_;
    std::string savedCwd_;
    std::shared_ptr<FakeAudioState> audio_;
    std::unique_ptr<ScriptedMessages> messages_;
    std::unique_ptr<ScriptedFileDialogs> dialogs_;
    RecordingHelp help_;
    std::unique_ptr<CVokraApp> app_;
    std::vector<View*> extraViews_;
};

}  // namespace vokra::test
