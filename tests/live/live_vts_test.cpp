// The VTube Studio output against a WebSocket server in the test playing VTube Studio's side:
// the token asked for once and kept, authentication, the injections with the face found, a
// restart of VTube Studio, a revoked token, a refusal and a reply that is not JSON.
#include <gtest/gtest.h>
#include <libwebsockets.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "live/live_vts_reply.h"
#include "live/live_vts_sink.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace vokra {
namespace {

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// VTube Studio's side: grants `token`, accepts only the token it granted last, takes
// injections. What it is asked is counted.
class StandIn {
public:
    explicit StandIn(int port) : port_(port) { Start(); }
    ~StandIn() { Shut(); }

    void Start() {
        static const lws_protocols protocols[] = {
            {"vts", &StandIn::Callback, 0, 1 << 16, 0, nullptr, 0},
            {nullptr, nullptr, 0, 0, 0, nullptr, 0}};
        lws_set_log_level(0, nullptr);
        lws_context_creation_info info{};
        info.port = port_;
        info.iface = "127.0.0.1";
        info.protocols = protocols;
        info.user = this;
        info.gid = -1;
        info.uid = -1;
        info.options = LWS_SERVER_OPTION_SKIP_SERVER_CANONICAL_NAME;
        context_ = lws_create_context(&info);
        ASSERT_TRUE(context_);
        stop_ = false;
        thread_ = std::thread([this] {
            while (!stop_) lws_service(context_, 0);
        });
    }
    void Shut() {
        if (!context_) return;
        stop_ = true;
        lws_cancel_service(context_);
        thread_.join();
        lws_context_destroy(context_);
        context_ = nullptr;
    }

    std::mutex mutex;
    std::string token = "tok-1";
    bool denyTokens = false;
    bool garbleNextInjectionReply = false;
    int tokenRequests = 0, authRequests = 0, injections = 0;
    std::string lastAuthToken;
    double lastOpen = -1.0, lastSmile = -1.0;
    bool faceFound = false;

private:
    std::string Answer(const nlohmann::json& q) {
        const std::string type = q.value("messageType", "");
        auto reply = [&](const std::string& t, nlohmann::json data) {
            return nlohmann::json{{"apiName", "VTubeStudioPublicAPI"},
                                  {"apiVersion", "1.0"},
                                  {"requestID", q.value("requestID", "")},
                                  {"messageType", t},
                                  {"data", data}}
                .dump();
        };
        std::lock_guard<std::mutex> lock(mutex);
        if (type == "AuthenticationTokenRequest") {
            ++tokenRequests;
            if (denyTokens)
                return reply(
                    "APIError",
                    {{"errorID", 50}, {"message", "User has denied API access for your plugin."}});
            return reply("AuthenticationTokenResponse", {{"authenticationToken", token}});
        }
        if (type == "AuthenticationRequest") {
            ++authRequests;
            lastAuthToken = q["data"].value("authenticationToken", "");
            const bool ok = lastAuthToken == token;
            return reply(
                "AuthenticationResponse",
                {{"authenticated", ok}, {"reason", ok ? "Token valid." : "Token invalid."}});
        }
        if (type == "InjectParameterDataRequest") {
            ++injections;
            faceFound = q["data"].value("faceFound", false);
            for (const auto& p : q["data"]["parameterValues"]) {
                if (p.value("id", "") == "MouthOpen") lastOpen = p.value("value", -1.0);
                if (p.value("id", "") == "MouthSmile") lastSmile = p.value("value", -1.0);
            }
            if (garbleNextInjectionReply) {
                garbleNextInjectionReply = false;
                return "{\"messageType\": [ not json";
            }
            return reply("InjectParameterDataResponse", nlohmann::json::object());
        }
        return reply("APIError", {{"errorID", 1}, {"message", "unknown"}});
    }

    static int Callback(lws* wsi, lws_callback_reasons reason, void*, void* in, std::size_t len) {
        if (!wsi) return 0;
        auto* self = static_cast<StandIn*>(lws_context_user(lws_get_context(wsi)));
        switch (reason) {
            case LWS_CALLBACK_RECEIVE: {
                const auto q = nlohmann::json::parse(std::string(static_cast<const char*>(in), len),
                                                     nullptr, false);
                self->out_.push_back(self->Answer(q));
                lws_callback_on_writable(wsi);
                break;
            }
            case LWS_CALLBACK_SERVER_WRITEABLE:
                if (!self->out_.empty()) {
                    std::string buf(LWS_PRE, '\0');
                    buf += self->out_.front();
                    self->out_.pop_front();
                    lws_write(wsi, reinterpret_cast<unsigned char*>(buf.data()) + LWS_PRE,
                              buf.size() - LWS_PRE, LWS_WRITE_TEXT);
                    if (!self->out_.empty()) lws_callback_on_writable(wsi);
                }
                break;
            default:
                break;
        }
        return 0;
    }

    int port_;
    lws_context* context_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::deque<std::string> out_;
};

// Feeds frames every 10 ms until `done` holds or 10 s have passed.
bool FeedUntil(LiveSink& sink, const std::function<bool()>& done, float opening = 0.8f) {
    LiveFrame frame;
    frame.mouth = MouthShape::D;
    frame.weights[static_cast<std::size_t>(MouthShapeIndex(MouthShape::D))] = 1.0f;
    frame.opening = opening;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        sink.Frame(frame);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(LiveVts, TokenFlowInjectionRestartRevocationAndRefusals) {
    test::TempDir dir;
    const int port = FreePort();
    auto standIn = std::make_unique<StandIn>(port);
    VtsOptions options;
    options.url = "ws://127.0.0.1:" + std::to_string(port);
    options.settingsPath = dir.File("settings.ini");
    options.firstRetryMs = 50;
    options.lastRetryMs = 200;
    std::string error;
    auto sink = MakeVtsSink(options, DefaultLiveVrmMap(), error);
    ASSERT_TRUE(sink) << error;
    auto locked = [&](auto read) {
        std::lock_guard<std::mutex> lock(standIn->mutex);
        return read(*standIn);
    };

    // First contact: a token is asked for, kept, and used; the values arrive with the face found.
    ASSERT_TRUE(
        FeedUntil(*sink, [&] { return locked([](StandIn& s) { return s.injections >= 5; }); }));
    EXPECT_EQ(sink->Status().link, LiveLink::Connected);
    locked([](StandIn& s) {
        EXPECT_EQ(s.tokenRequests, 1);
        EXPECT_EQ(s.lastAuthToken, "tok-1");
        EXPECT_TRUE(s.faceFound);
        EXPECT_NEAR(s.lastOpen, 0.8, 1e-3);  // D: open 1.0 times the opening
        EXPECT_NEAR(s.lastSmile, 0.5, 1e-3);
        return 0;
    });
    EXPECT_EQ(IniFile(options.settingsPath).GetString("Live", "VTubeStudioToken"), "tok-1");

    // A reply that is not JSON: said in the status, the link kept.
    locked([](StandIn& s) { return s.garbleNextInjectionReply = true; });
    ASSERT_TRUE(FeedUntil(*sink, [&] {
        return sink->Status().reason.find("could not be read") != std::string::npos;
    }));
    const int before = locked([](StandIn& s) { return s.injections; });
    ASSERT_TRUE(FeedUntil(
        *sink, [&] { return locked([&](StandIn& s) { return s.injections > before + 3; }); }));

    // VTube Studio restarts: the link comes back with the kept token, no new request.
    standIn->Shut();
    ASSERT_TRUE(FeedUntil(*sink, [&] { return sink->Status().link == LiveLink::NoReply; }));
    standIn = std::make_unique<StandIn>(port);
    ASSERT_TRUE(
        FeedUntil(*sink, [&] { return locked([](StandIn& s) { return s.injections >= 3; }); }));
    locked([](StandIn& s) {
        EXPECT_EQ(s.tokenRequests, 0);
        EXPECT_EQ(s.lastAuthToken, "tok-1");
        return 0;
    });

    // The token revoked (VTube Studio restarted with the plugin's access withdrawn): a new one is
    // asked for and kept.
    standIn->Shut();
    standIn = std::make_unique<StandIn>(port);
    locked([](StandIn& s) { return s.token = "tok-2"; });
    ASSERT_TRUE(
        FeedUntil(*sink, [&] { return locked([](StandIn& s) { return s.injections >= 3; }); }));
    locked([](StandIn& s) {
        EXPECT_EQ(s.tokenRequests, 1);
        EXPECT_EQ(s.lastAuthToken, "tok-2");
        return 0;
    });
    EXPECT_EQ(IniFile(options.settingsPath).GetString("Live", "VTubeStudioToken"), "tok-2");

    // The user declines the plugin: refused, with VTube Studio's reason, and asked again only
    // after a pause.
    standIn->Shut();
    standIn = std::make_unique<StandIn>(port);
    locked([](StandIn& s) {
        s.token = "tok-3";
        return s.denyTokens = true;
    });
    ASSERT_TRUE(FeedUntil(*sink, [&] {
        const auto status = sink->Status();
        return status.link == LiveLink::Refused &&
               status.reason.find("denied") != std::string::npos;
    }));
    std::string endError;
    EXPECT_TRUE(sink->End(endError));
}

TEST(LiveVts, RepliesRead) {
    struct Case {
        const char* text;
        VtsReply::Kind kind;
    };
    const Case cases[] = {
        {R"({"messageType":"AuthenticationTokenResponse","data":{"authenticationToken":"abc"}})",
         VtsReply::Kind::Token},
        {R"({"messageType":"AuthenticationTokenResponse","data":{"authenticationToken":""}})",
         VtsReply::Kind::Malformed},
        {R"({"messageType":"AuthenticationTokenResponse","data":{"authenticationToken":7}})",
         VtsReply::Kind::Malformed},
        {R"({"messageType":"AuthenticationResponse","data":{"authenticated":true}})",
         VtsReply::Kind::Authenticated},
        {R"({"messageType":"AuthenticationResponse","data":{"authenticated":"yes"}})",
         VtsReply::Kind::Unauthenticated},
        {R"({"messageType":"APIError","data":{"errorID":50,"message":"denied"}})",
         VtsReply::Kind::Error},
        {R"({"messageType":"InjectParameterDataResponse","data":{}})", VtsReply::Kind::Injected},
        {R"({"messageType":"StatisticsResponse"})", VtsReply::Kind::Other},
        {R"([1,2])", VtsReply::Kind::Malformed},
        {R"({"data":{}})", VtsReply::Kind::Malformed},
        {"", VtsReply::Kind::Malformed},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseVtsReply(c.text).kind, c.kind) << c.text;
}

}  // namespace
}  // namespace vokra
