#pragma once
// The program's message boxes, behind an interface: the GUI shows a real box, tests script the
// answers and read the texts, the command-line tool prints them on stderr.
#include <string>

namespace vokra {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Exclamation, Question, Information, Stop };

// Answers, numbered as the old platform numbered them.
enum MsgResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// One message box request. `owner` is an opaque window handle (a QWidget* in the GUI) or null
// for the main window.
struct MessageRequest {
    std::string text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    void* owner = nullptr;
    // The text of the OK (or Yes) button when it is not the usual one, e.g. "Convert".
    std::string acceptText;
    // The text of the No button when a question offers two actions, e.g. "Delete".
    std::string noText;
};

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows the box titled "Vokra" and returns the button pressed.
    virtual int Show(const MessageRequest& request) = 0;
};

// The service in force; never null (a stderr printer until the program installs its own).
MessageService& Messages();
// Installs a service (not owned); null restores the stderr printer.
void SetMessageService(MessageService* service);

// The framework's box: an OK-only box without an icon gets the exclamation icon.
int AfxMessageBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                  MsgIcon icon = MsgIcon::None, void* owner = nullptr);

}  // namespace vokra
