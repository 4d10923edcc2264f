#pragma once
// How the program's messages reach a command-line user: on standard error, every line headed
// "vokra-cli: " like the tool's own messages, so that they read the same with or without -o and
// can be told from other programs' output in a script's log. While a file is being read, a
// message that does not name it is put after the file's name.
#include <iosfwd>
#include <string>

#include "platform/message_service.h"

namespace vokra {

class CliMessageService final : public MessageService {
public:
    explicit CliMessageService(std::ostream& err) : err_(err) {}
    int Show(const MessageRequest& request) override;
    // The file the messages are about from now on (empty: none).
    void SetSubject(std::string path) { subject_ = std::move(path); }

private:
    std::ostream& err_;
    std::string subject_;
};

// Installs a CliMessageService for its lifetime, then puts back the one before.
class ScopedCliMessages {
public:
    explicit ScopedCliMessages(std::ostream& err);
    ~ScopedCliMessages();
    ScopedCliMessages(const ScopedCliMessages&) = delete;
    ScopedCliMessages& operator=(const ScopedCliMessages&) = delete;
    CliMessageService& Service() { return service_; }

private:
    CliMessageService service_;
    MessageService* previous_;
};

}  // namespace vokra
