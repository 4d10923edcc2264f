#include "cli/cli_messages.h"

#include <ostream>

namespace vokra {

int CliMessageService::Show(const MessageRequest& request) {
    std::string text = request.text;
    const std::string name = subject_.substr(subject_.rfind('/') + 1);
    if (!subject_.empty() && text.find(name) == std::string::npos) {
        text = subject_ + ": " + text;
    }
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        // Blank lines of a box's layout say nothing on a terminal.
        if (end > at) err_ << "vokra-cli: " << std::string_view(text).substr(at, end - at) << '\n';
        at = end + 1;
    }
    err_.flush();
    // Nobody is there to answer a question: it is declined.
    switch (request.buttons) {
        case MsgButtons::Ok:
            return IDOK;
        case MsgButtons::YesNo:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

ScopedCliMessages::ScopedCliMessages(std::ostream& err) : service_(err), previous_(&Messages()) {
    SetMessageService(&service_);
}

ScopedCliMessages::~ScopedCliMessages() {
    SetMessageService(previous_);
}

}  // namespace vokra
