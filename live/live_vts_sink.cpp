#include "live/live_vts_sink.h"

#include <libwebsockets.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "live/live_vts_reply.h"
#include "platform/ini_file.h"

namespace vokra {
namespace {

constexpr const char* kSection = "Live";
constexpr const char* kTokenKey = "VTubeStudioToken";
// A reply larger than this is not VTube Studio's: it is dropped as malformed.
constexpr std::size_t kMaxReply = 1 << 16;

struct Url {
    std::string host;
    int port = 8001;
    std::string path = "/";
};

bool ParseUrl(const std::string& text, Url& url, std::string& error) {
    std::string rest = text.empty() ? std::string("ws://localhost:8001") : text;
    if (rest.rfind("ws://", 0) != 0) {
        error = "\"" + text + "\" is not a ws:// address";
        return false;
    }
    rest = rest.substr(5);
    const auto slash = rest.find('/');
    if (slash != std::string::npos) {
        url.path = rest.substr(slash);
        rest = rest.substr(0, slash);
    }
    const auto colon = rest.rfind(':');
    url.host = rest.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string digits = rest.substr(colon + 1);
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), url.port);
        if (ec != std::errc() || p != digits.data() + digits.size() || url.port <= 0 ||
            url.port > 65535) {
            error = "\"" + text + "\" has no port from 1 to 65535";
            return false;
        }
    }
    if (url.host.empty()) {
        error = "\"" + text + "\" names no host";
        return false;
    }
    return true;
}

void AppendJsonString(std::string& out, const std::string& s) {
    out += '"';
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendNumber(std::string& out, float v) {
    char buf[32];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    out.append(buf, ec == std::errc() ? p : buf);
}

class VtsSink final : public LiveSink {
public:
    VtsSink(const VtsOptions& options, const LiveVrmMap& map, Url url)
        : options_(options), map_(map), url_(std::move(url)), settings_(options.settingsPath) {
        token_ = settings_.GetString(kSection, kTokenKey);
        send_.reserve(LWS_PRE + 1024);
        retry_.self = this;
        retryMs_ = options.firstRetryMs;
    }
    ~VtsSink() override { Shut(); }

    bool Open(std::string& error) {
        lws_set_log_level(0, nullptr);
        static const lws_protocols protocols[] = {
            {"vokra-vts", &VtsSink::Callback, 0, kMaxReply, 0, nullptr, 0},
            {nullptr, nullptr, 0, 0, 0, nullptr, 0}};
        lws_context_creation_info info{};
        info.port = CONTEXT_PORT_NO_LISTEN;
        info.protocols = protocols;
        info.user = this;
        info.gid = -1;
        info.uid = -1;
        context_ = lws_create_context(&info);
        if (!context_) {
            error = "the WebSocket library could not start";
            return false;
        }
        thread_ = std::thread([this] {
            Connect();
            while (!stop_.load()) lws_service(context_, 0);
        });
        return true;
    }

    std::string Name() const override { return "VTube Studio " + Address(); }
    void Frame(const LiveFrame& frame) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_ = VtsMouthOpen(map_, frame);
            smile_ = VtsMouthSmile(map_, frame);
            fresh_ = true;
        }
        lws_cancel_service(context_);
    }
    bool End(std::string&) override {
        Shut();
        return true;
    }
    LiveSinkStatus Status() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return status_;
    }

private:
    struct Retry {
        lws_sorted_usec_list_t sul;  // first: the timer hands back its address
        VtsSink* self = nullptr;
    };

    std::string Address() const {
        return "ws://" + url_.host + ":" + std::to_string(url_.port) + url_.path;
    }

    void Shut() {
        if (!context_) return;
        stop_.store(true);
        lws_cancel_service(context_);
        if (thread_.joinable()) thread_.join();
        lws_context_destroy(context_);
        context_ = nullptr;
    }

    void SetStatus(LiveLink link, const std::string& reason) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (status_.link == link && status_.reason == reason) return;
            status_ = {link, reason};
        }
        if (options_.log)
            options_.log(std::string(LiveLinkName(link)) + (reason.empty() ? "" : ": " + reason));
    }

    // On the talk's thread only, from here down.
    void Connect() {
        lws_client_connect_info c{};
        c.context = context_;
        c.address = url_.host.c_str();
        c.port = url_.port;
        c.path = url_.path.c_str();
        c.host = url_.host.c_str();
        c.origin = url_.host.c_str();
        c.protocol = nullptr;
        c.local_protocol_name = "vokra-vts";
        c.pwsi = &wsi_;
        SetStatus(LiveLink::Connecting, Address());
        if (!lws_client_connect_via_info(&c)) {
            wsi_ = nullptr;
            Lost(LiveLink::NoReply, "cannot connect to " + Address());
        }
    }

    // The link is gone: try again after a pause that doubles up to its limit.
    void Lost(LiveLink link, const std::string& reason) {
        wsi_ = nullptr;
        authenticated_ = false;
        reply_.clear();
        SetStatus(link, reason);
        if (stop_.load()) return;
        lws_sul_schedule(context_, 0, &retry_.sul, &VtsSink::RetryNow,
                         static_cast<lws_usec_t>(retryMs_) * LWS_US_PER_MS);
        retryMs_ = std::min(retryMs_ * 2, options_.lastRetryMs);
    }

    static void RetryNow(lws_sorted_usec_list_t* sul) {
        auto* self = reinterpret_cast<Retry*>(sul)->self;
        if (!self->stop_.load() && !self->wsi_) self->Connect();
    }

    void Request(const char* type, bool withToken) {
        outgoing_ = "{\"apiName\":\"VTubeStudioPublicAPI\",\"apiVersion\":\"1.0\",\"requestID\":\"";
        outgoing_ += type;
        outgoing_ += "\",\"messageType\":\"";
        outgoing_ += type;
        outgoing_ += "\",\"data\":{\"pluginName\":";
        AppendJsonString(outgoing_, options_.pluginName);
        outgoing_ += ",\"pluginDeveloper\":";
        AppendJsonString(outgoing_, options_.pluginDeveloper);
        if (withToken) {
            outgoing_ += ",\"authenticationToken\":";
            AppendJsonString(outgoing_, token_);
        }
        outgoing_ += "}}";
        if (wsi_) lws_callback_on_writable(wsi_);
    }

    void Authenticate() {
        if (token_.empty())
            Request("AuthenticationTokenRequest", false);
        else
            Request("AuthenticationRequest", true);
    }

    void Reply(const std::string& text) {
        const VtsReply reply = ParseVtsReply(text);
        switch (reply.kind) {
            case VtsReply::Kind::Malformed:
                SetStatus(status_.link, "a reply VTube Studio sent could not be read");
                break;
            case VtsReply::Kind::Token:
                token_ = reply.token;
                KeepToken();
                Request("AuthenticationRequest", true);
                break;
            case VtsReply::Kind::Authenticated:
                authenticated_ = true;
                retryMs_ = options_.firstRetryMs;
                SetStatus(LiveLink::Connected, {});
                if (wsi_) lws_callback_on_writable(wsi_);
                break;
            case VtsReply::Kind::Unauthenticated:
                // The token was revoked (or never granted here): ask for a new one.
                SetStatus(LiveLink::Refused,
                          reply.reason.empty() ? "the token was refused" : reply.reason);
                token_.clear();
                KeepToken();
                Request("AuthenticationTokenRequest", false);
                break;
            case VtsReply::Kind::Error:
                SetStatus(LiveLink::Refused, reply.reason.empty()
                                                 ? "error " + std::to_string(reply.errorId)
                                                 : reply.reason);
                // Refused while asking for the token (the user declined): ask again only after a
                // pause, so VTube Studio is not flooded with pop-ups.
                if (!authenticated_ && wsi_) {
                    lws_set_timeout(wsi_, PENDING_TIMEOUT_CLOSE_SEND, LWS_TO_KILL_ASYNC);
                }
                break;
            case VtsReply::Kind::Injected:
                // A reply that could not be read stays told until the link changes.
                if (status_.link != LiveLink::Connected) SetStatus(LiveLink::Connected, {});
                break;
            case VtsReply::Kind::Other:
                break;
        }
    }

    void KeepToken() {
        const std::filesystem::path path(settings_.Path());
        std::error_code ec;
        if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
        if (token_.empty())
            settings_.DeleteKey(kSection, kTokenKey);
        else
            settings_.WriteString(kSection, kTokenKey, token_);
    }

    int Writable(lws* wsi) {
        send_.assign(LWS_PRE, '\0');
        if (!outgoing_.empty()) {
            send_ += outgoing_;
            outgoing_.clear();
        } else if (authenticated_) {
            float open = 0.0f, smile = 0.5f;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!fresh_) return 0;
                fresh_ = false;
                open = open_;
                smile = smile_;
            }
            send_ +=
                "{\"apiName\":\"VTubeStudioPublicAPI\",\"apiVersion\":\"1.0\",\"requestID\":\"f\","
                "\"messageType\":\"InjectParameterDataRequest\",\"data\":{\"faceFound\":true,"
                "\"mode\":\"set\",\"parameterValues\":[{\"id\":\"MouthOpen\",\"value\":";
            AppendNumber(send_, open);
            send_ += "},{\"id\":\"MouthSmile\",\"value\":";
            AppendNumber(send_, smile);
            send_ += "}]}}";
        } else {
            return 0;
        }
        const std::size_t length = send_.size() - LWS_PRE;
        if (lws_write(wsi, reinterpret_cast<unsigned char*>(send_.data()) + LWS_PRE, length,
                      LWS_WRITE_TEXT) < static_cast<int>(length))
            return -1;
        return 0;
    }

    static int Callback(lws* wsi, lws_callback_reasons reason, void*, void* in, std::size_t len) {
        if (!wsi) return 0;
        auto* self = static_cast<VtsSink*>(lws_context_user(lws_get_context(wsi)));
        if (!self) return 0;
        switch (reason) {
            case LWS_CALLBACK_CLIENT_ESTABLISHED:
                self->wsi_ = wsi;
                self->SetStatus(LiveLink::Connecting, "authenticating");
                self->Authenticate();
                break;
            case LWS_CALLBACK_CLIENT_RECEIVE:
                if (self->reply_.size() + len > kMaxReply) {
                    self->reply_.clear();
                    self->dropping_ = true;
                } else if (!self->dropping_) {
                    self->reply_.append(static_cast<const char*>(in), len);
                }
                if (lws_is_final_fragment(wsi)) {
                    if (self->dropping_)
                        self->SetStatus(self->status_.link,
                                        "a reply VTube Studio sent was too long");
                    else
                        self->Reply(self->reply_);
                    self->reply_.clear();
                    self->dropping_ = false;
                }
                break;
            case LWS_CALLBACK_CLIENT_WRITEABLE:
                return self->Writable(wsi);
            case LWS_CALLBACK_CLIENT_CONNECTION_ERROR:
                self->Lost(LiveLink::NoReply,
                           "no answer at " + self->Address() +
                               (in ? std::string(" (") +
                                         std::string(static_cast<const char*>(in), len) + ")"
                                   : ""));
                break;
            case LWS_CALLBACK_CLIENT_CLOSED:
                if (wsi == self->wsi_)
                    self->Lost(self->status_.link == LiveLink::Refused ? LiveLink::Refused
                                                                       : LiveLink::NoReply,
                               self->status_.link == LiveLink::Refused
                                   ? self->status_.reason
                                   : "VTube Studio closed the link");
                break;
            case LWS_CALLBACK_EVENT_WAIT_CANCELLED:
                if (self->wsi_ && self->authenticated_) lws_callback_on_writable(self->wsi_);
                break;
            default:
                break;
        }
        return 0;
    }

    VtsOptions options_;
    LiveVrmMap map_;
    Url url_;
    IniFile settings_;
    lws_context* context_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    // The talk's thread only.
    lws* wsi_ = nullptr;
    std::string token_;
    bool authenticated_ = false;
    std::string outgoing_;
    std::string send_;
    std::string reply_;
    bool dropping_ = false;
    int retryMs_ = 500;
    Retry retry_{};
    // Shared with the run's thread.
    mutable std::mutex mutex_;
    float open_ = 0.0f, smile_ = 0.5f;
    bool fresh_ = false;
    LiveSinkStatus status_;
};

}  // namespace

std::string DefaultLiveSettingsPath() {
    if (const char* ini = std::getenv("VOKRA_INI"); ini && *ini) return ini;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
    if (config.empty()) {
        const char* home = std::getenv("HOME");
        config = std::string(home && *home ? home : ".") + "/.config";
    }
    return config + "/vokra/vokra.INI";
}

std::unique_ptr<LiveSink> MakeVtsSink(const VtsOptions& options, const LiveVrmMap& map,
                                      std::string& error) {
    Url url;
    if (!ParseUrl(options.url, url, error)) return nullptr;
    auto sink = std::make_unique<VtsSink>(options, map, url);
    if (!sink->Open(error)) return nullptr;
    return sink;
}

}  // namespace vokra
