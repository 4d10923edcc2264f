#include <lo/lo.h>

#include <array>
#include <charconv>
#include <cstring>

#include "live/live_net_sinks.h"

namespace vokra {
namespace {

// One OSC bundle per frame: a /VMC/Ext/Blend/Val (name, value) for each vowel, zeros included,
// then /VMC/Ext/Blend/Apply. The bundle is built once; each frame only rewrites its values in
// place, so sending allocates nothing of ours. UDP never waits for the receiver.
class VmcSink final : public LiveSink {
public:
    VmcSink(lo_address address, const LiveVrmMap& map, bool vrm1, std::string target)
        : address_(address), map_(map), target_(std::move(target)) {
        bundle_ = lo_bundle_new(LO_TT_IMMEDIATE);
        const auto& names = VrmVowelNames(vrm1);
        for (std::size_t v = 0; v < names.size(); ++v) {
            lo_message m = lo_message_new();
            lo_message_add_string(m, names[v]);
            lo_message_add_float(m, 0.0f);
            lo_bundle_add_message(bundle_, "/VMC/Ext/Blend/Val", m);
            // The float's bytes inside the message (4-aligned, not the argument union's 8).
            values_[v] =
                reinterpret_cast<unsigned char*>(static_cast<void*>(lo_message_get_argv(m)[1]));
        }
        lo_bundle_add_message(bundle_, "/VMC/Ext/Blend/Apply", lo_message_new());
    }
    ~VmcSink() override {
        lo_bundle_free_recursive(bundle_);
        lo_address_free(address_);
    }
    std::string Name() const override { return "VMC " + target_; }
    void Frame(const LiveFrame& frame) override {
        const auto values = VrmVowelValues(map_, frame);
        for (std::size_t v = 0; v < values.size(); ++v)
            std::memcpy(values_[v], &values[v], sizeof(float));
        if (lo_send_bundle(address_, bundle_) < 0) {
            failed_ = true;
            reason_ = lo_address_errstr(address_) ? lo_address_errstr(address_) : "not sent";
        } else {
            failed_ = false;
        }
    }
    LiveSinkStatus Status() const override {
        // UDP has no answer to wait for: sending is all that can be known.
        if (failed_) return {LiveLink::NoReply, reason_};
        return {LiveLink::Connected, {}};
    }

private:
    lo_address address_;
    LiveVrmMap map_;
    std::string target_;
    lo_bundle bundle_ = nullptr;
    std::array<unsigned char*, kVrmVowelCount> values_{};
    bool failed_ = false;
    std::string reason_;
};

}  // namespace

bool SplitHostPort(const std::string& text, const std::string& defaultHost, int defaultPort,
                   std::string& host, int& port) {
    host = defaultHost;
    port = defaultPort;
    if (text.empty()) return true;
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        host = text;
        return true;
    }
    if (colon > 0) host = text.substr(0, colon);
    const std::string digits = text.substr(colon + 1);
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    return ec == std::errc() && p == digits.data() + digits.size() && port > 0 && port < 65536 &&
           !digits.empty();
}

std::unique_ptr<LiveSink> MakeVmcSink(const std::string& target, const LiveVrmMap& map, bool vrm1,
                                      std::string& error) {
    std::string host;
    int port = 0;
    if (!SplitHostPort(target, "127.0.0.1", 39540, host, port)) {
        error = "\"" + target + "\" is not HOST:PORT";
        return nullptr;
    }
    lo_address address = lo_address_new(host.c_str(), std::to_string(port).c_str());
    if (!address) {
        error = "cannot send to " + host + ":" + std::to_string(port);
        return nullptr;
    }
    return std::make_unique<VmcSink>(address, map, vrm1, host + ":" + std::to_string(port));
}

}  // namespace vokra
