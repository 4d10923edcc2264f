#include "tests/support/scripted_services.h"

#include <gtest/gtest.h>

namespace vokra::test {

ScriptedMessages::ScriptedMessages() { SetMessageService(this); }

ScriptedMessages::~ScriptedMessages() {
    SetMessageService(nullptr);
    VerifyAllShown();
}

void ScriptedMessages::Expect(const std::string& text, int answer) {
    expected_.push_back({text, answer});
}

int ScriptedMessages::Show(const MessageRequest& request) {
    shown_.push_back(request);
    if (!expected_.empty()) {
        Expectation e = expected_.front();
        expected_.pop_front();
        EXPECT_EQ(request.text, e.text) << "message box text";
        return e.answer;
    }
    if (!allowAny_) ADD_FAILURE() << "unexpected message box: " << request.text;
    return allowAny_ ? anyAnswer_ : IDCANCEL;
}

std::vector<std::string> ScriptedMessages::Texts() const {
    std::vector<std::string> t;
    for (const auto& r : shown_) t.push_back(r.text);
    return t;
}

void ScriptedMessages::VerifyAllShown() {
    for (const auto& e : expected_) ADD_FAILURE() << "expected message box did not appear: " << e.text;
    expected_.clear();
}

ScriptedFileDialogs::ScriptedFileDialogs() { SetFileDialogService(this); }
ScriptedFileDialogs::~ScriptedFileDialogs() { SetFileDialogService(nullptr); }

std::optional<std::string> ScriptedFileDialogs::Run(const FileDialogRequest& request) {
    requests_.push_back(request);
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return std::nullopt;
    }
    auto a = answers_.front();
    answers_.pop_front();
    return a;
}

}  // namespace vokra::test
