#pragma once
// Test stand-ins for message boxes and file dialogs. Each box is recorded; answers come from a
// script, and a box the test did not expect fails the test. Install with the guards below.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog_service.h"
#include "platform/message_service.h"

namespace vokra::test {

class ScriptedMessages final : public MessageService {
public:
    ScriptedMessages();
    ~ScriptedMessages() override;
    // The next box is expected to show `text` and is answered with `answer`.
    void Expect(const std::string& text, int answer = IDOK);
    // Let any box be answered with `answer` and recorded, without failing.
    void AllowAny(int answer = IDOK) { allowAny_ = true, anyAnswer_ = answer; }
    int Show(const MessageRequest& request) override;
    const std::vector<MessageRequest>& Shown() const { return shown_; }
    std::vector<std::string> Texts() const;
    // Fails the test if expected boxes did not appear.
    void VerifyAllShown();

private:
    struct Expectation {
        std::string text;
        int answer;
    };
    std::deque<Expectation> expected_;
    std::vector<MessageRequest> shown_;
    bool allowAny_ = false;
    int anyAnswer_ = IDOK;
};

class ScriptedFileDialogs final : public FileDialogService {
public:
    ScriptedFileDialogs();
    ~ScriptedFileDialogs() override;
    // The next dialog answers `path` (nothing: cancelled).
    void Answer(std::optional<std::string> path) { answers_.push_back(std::move(path)); }
    std::optional<std::string> Run(const FileDialogRequest& request) override;
    const std::vector<FileDialogRequest>& Requests() const { return requests_; }

private:
    std::deque<std::optional<std::string>> answers_;
    std::vector<FileDialogRequest> requests_;
};

}  // namespace vokra::test
