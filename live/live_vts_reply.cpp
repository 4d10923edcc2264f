#include "live/live_vts_reply.h"

#include <nlohmann/json.hpp>

namespace vokra {
namespace {

std::string StringAt(const nlohmann::json& data, const char* key) {
    const auto it = data.find(key);
    return it != data.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

VtsReply ParseVtsReply(const std::string& text) {
    VtsReply reply;
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return reply;
    const std::string type = StringAt(j, "messageType");
    if (type.empty()) return reply;
    const auto dataIt = j.find("data");
    const nlohmann::json data =
        dataIt != j.end() && dataIt->is_object() ? *dataIt : nlohmann::json::object();
    reply.kind = VtsReply::Kind::Other;
    if (type == "AuthenticationTokenResponse") {
        reply.token = StringAt(data, "authenticationToken");
        // A token is printable text of a sane length, or no token at all.
        const bool sane = !reply.token.empty() && reply.token.size() <= 1024 &&
                          reply.token.find_first_of("\r\n\t") == std::string::npos;
        reply.kind = sane ? VtsReply::Kind::Token : VtsReply::Kind::Malformed;
        if (!sane) reply.token.clear();
    } else if (type == "AuthenticationResponse") {
        const auto it = data.find("authenticated");
        const bool yes = it != data.end() && it->is_boolean() && it->get<bool>();
        reply.kind = yes ? VtsReply::Kind::Authenticated : VtsReply::Kind::Unauthenticated;
        reply.reason = StringAt(data, "reason");
    } else if (type == "APIError") {
        reply.kind = VtsReply::Kind::Error;
        const auto it = data.find("errorID");
        if (it != data.end() && it->is_number_integer()) reply.errorId = it->get<int>();
        reply.reason = StringAt(data, "message");
    } else if (type == "InjectParameterDataResponse") {
        reply.kind = VtsReply::Kind::Injected;
    }
    if (reply.reason.size() > 300) reply.reason.resize(300);
    return reply;
}

}  // namespace vokra
