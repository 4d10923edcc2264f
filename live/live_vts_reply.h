#pragma once
// VTube Studio's replies, read: what each one means to the plugin's side of the talk.
#include <string>

namespace vokra {

struct VtsReply {
    enum class Kind {
        Malformed,        // not JSON, or not one of its messages
        Token,            // a token was granted (token)
        Authenticated,    // the token was accepted
        Unauthenticated,  // the token was refused (reason): ask for a new one
        Error,            // an APIError (errorId, reason)
        Injected,         // the values were taken
        Other,            // any other message
    };
    Kind kind = Kind::Malformed;
    std::string token;
    std::string reason;
    int errorId = 0;
};

// Reads one WebSocket text message from VTube Studio.
VtsReply ParseVtsReply(const std::string& text);

}  // namespace vokra
