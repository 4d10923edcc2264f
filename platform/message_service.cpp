#include "platform/message_service.h"

#include <cstdio>

namespace vokra {
namespace {

class StderrMessageService final : public MessageService {
public:
    int Show(const MessageRequest& request) override {
        std::fprintf(stderr, "%s\n", request.text.c_str());
        switch (request.buttons) {
            case MsgButtons::Ok:
                return IDOK;
            case MsgButtons::OkCancel:
                return IDCANCEL;
            case MsgButtons::YesNo:
                return IDNO;
            case MsgButtons::YesNoCancel:
                return IDCANCEL;
        }
        return IDOK;
    }
};

StderrMessageService g_stderrService;
MessageService* g_service = &g_stderrService;

}  // namespace

MessageService& Messages() {
    return *g_service;
}

void SetMessageService(MessageService* service) {
    g_service = service ? service : &g_stderrService;
}

int AfxMessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon, void* owner) {
    if (buttons == MsgButtons::Ok && icon == MsgIcon::None) icon = MsgIcon::Exclamation;
    return Messages().Show(
        MessageRequest{text, buttons, icon, owner, std::string(), std::string()});
}

}  // namespace vokra
