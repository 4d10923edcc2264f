// vokra-cli live: the microphone (or a file, or raw PCM) to avatar programs as it is spoken. Its
// options are its own, parsed here; everything else is the live core's.
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <csignal>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "live/live_net_sinks.h"
#include "live/live_session.h"
#include "live/live_take.h"
#include "live/live_vts_sink.h"

namespace vokra {
namespace {

std::atomic<bool> g_stopLive{false};

extern "C" void StopLive(int) {
    g_stopLive.store(true);
}

struct LiveCliOptions {
    std::string input;  // empty: the microphone; "-": raw PCM on standard input
    std::string device;
    bool listDevices = false;
    std::int32_t rate = 0;
    int channels = 1;
    PcmFormat format = PcmFormat::S16;
    bool fastest = false;
    double seconds = 0.0;  // 0: until the input ends or Ctrl+C
    LiveSettings settings;
    bool jsonl = false;
    bool vmc = false;
    std::string vmcTarget;
    bool vrm1 = false;
    std::string mapPath;
    bool vts = false;
    std::string vtsUrl;
    std::string settingsPath;
    std::string recordPath;
    bool help = false;
};

template <typename T>
bool Whole(const std::string& s, T lo, T hi, T& out) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && !s.empty() && out >= lo && out <= hi;
}

bool Real(const std::string& s, double lo, double hi, double& out) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && !s.empty() && out >= lo && out <= hi;
}

std::string ParseLive(const std::vector<std::string>& args, LiveCliOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        auto value = [&]() -> const std::string& { return args[++i]; };
        // --vmc and --vts take their target only when one follows.
        auto optionalValue = [&]() {
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) return args[++i];
            return std::string();
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--list-devices") {
            o.listDevices = true;
        } else if (a == "--no-wait") {
            o.fastest = true;
        } else if (a == "--jsonl") {
            o.jsonl = true;
        } else if (a == "--vmc") {
            o.vmc = true;
            o.vmcTarget = optionalValue();
        } else if (a == "--vrm1") {
            o.vrm1 = true;
        } else if (a == "--vts") {
            o.vts = true;
            o.vtsUrl = optionalValue();
        } else if (!hasValue) {
            return a.rfind("--", 0) == 0 ? a + " is not an option of live, or lacks its value"
                                         : "unexpected argument " + a;
        } else if (a == "--input") {
            o.input = value();
        } else if (a == "--device") {
            o.device = value();
        } else if (a == "--rate") {
            if (!Whole(value(), 8000, 192000, o.rate)) return "--rate must be 8000 to 192000 Hz";
        } else if (a == "--channels") {
            if (!Whole(value(), 1, 32, o.channels)) return "--channels must be 1 to 32";
        } else if (a == "--format") {
            const std::string& f = value();
            if (f == "s16")
                o.format = PcmFormat::S16;
            else if (f == "f32")
                o.format = PcmFormat::F32;
            else
                return "--format must be s16 or f32";
        } else if (a == "--look-ahead") {
            if (!Whole(value(), 0, LiveSettings::kMaxLookAheadMs, o.settings.lookAheadMs))
                return "--look-ahead must be 0 to 120 ms";
        } else if (a == "--hold") {
            if (!Whole(value(), 0, LiveSettings::kMaxHoldMs, o.settings.holdMs))
                return "--hold must be 0 to 200 ms";
        } else if (a == "--sensitivity") {
            if (!Real(value(), 0.0, 1.0, o.settings.sensitivity))
                return "--sensitivity must be 0 to 1";
        } else if (a == "--seconds") {
            if (!Real(value(), 0.0, 1e7, o.seconds)) return "--seconds must be a positive number";
        } else if (a == "--vrm-map") {
            o.mapPath = value();
        } else if (a == "--settings") {
            o.settingsPath = value();
        } else if (a == "--record") {
            o.recordPath = value();
        } else {
            return a.rfind("--", 0) == 0 ? a + " is not an option of live"
                                         : "unexpected argument " + a;
        }
    }
    if (o.input != "-" && (o.rate != 0 || o.channels != 1))
        return "--rate and --channels describe raw PCM on standard input (--input -)";
    if (o.input == "-" && o.rate == 0) return "raw PCM on standard input needs its --rate";
    if (o.fastest && o.input.empty()) return "--no-wait needs a file or standard input";
    if (!o.jsonl && !o.vmc && !o.vts && o.recordPath.empty()) o.jsonl = true;
    return {};
}

}  // namespace

std::string LiveHelp() {
    return "Usage: vokra-cli live [--input FILE|- [--rate HZ --channels N --format s16|f32]\n"
           "                         [--no-wait] | --device NAME] [--list-devices]\n"
           "                         [--look-ahead MS] [--hold MS] [--sensitivity 0-1]\n"
           "                         [--jsonl] [--vmc [HOST:PORT] [--vrm1]] [--vrm-map FILE]\n"
           "                         [--vts [URL]] [--settings FILE] [--record DOC.vok]\n"
           "                         [--seconds S]\n"
           "\n"
           "Follow a voice as it is spoken and drive an avatar's mouth: one frame every 10 ms.\n"
           "\n"
           "Input (the default microphone when none is given):\n"
           "  --device NAME       a microphone by name (see --list-devices)\n"
           "  --list-devices      list the microphones and end\n"
           "  --input FILE        a sound file, played in real time\n"
           "  --input -           raw little-endian PCM on standard input (parec, pw-record):\n"
           "                      --rate HZ (needed), --channels N (1), --format s16|f32 (s16)\n"
           "  --no-wait           read the file or standard input as fast as the CPU allows;\n"
           "                      the frames are exactly those of the real-time run\n"
           "Analysis:\n"
           "  --look-ahead MS     how much later sound a mouth waits for, 0-120 (40)\n"
           "  --hold MS           the least time a mouth is shown, 0-200 (80)\n"
           "  --sensitivity X     the noise gate over the room's floor: 0 a loud voice only,\n"
           "                      1 a whisper (0.5)\n"
           "Outputs (JSON lines when none is given; any combination):\n"
           "  --jsonl             one JSON object per frame on standard output: time, mouth,\n"
           "                      weights (A-H, X), opening, level (dB of full scale)\n"
           "  --vmc [HOST:PORT]   VMC over OSC/UDP (127.0.0.1:39540): the vowels A I U E O\n"
           "                      each frame, then Apply; --vrm1 sends aa ih ou ee oh\n"
           "  --vrm-map FILE      edits of the mouth-to-vowel table, a mouth a line:\n"
           "                      'C: E 0.8, A 0.2 ; open 0.5 ; smile 0.65'\n"
           "  --vts [URL]         VTube Studio's plugin API (ws://localhost:8001): MouthOpen\n"
           "                      and MouthSmile each frame; allow the plugin in VTube Studio\n"
           "                      once, its token is kept in the settings file\n"
           "  --settings FILE     where the token is kept (~/.config/vokra/live.ini)\n"
           "  --record DOC.vok    keep the take: the sound beside it as DOC.wav and its shapes\n"
           "                      in a Vokra document, written when the run ends\n"
           "  --seconds S         end after S seconds of sound\n"
           "Ctrl+C ends the run cleanly and finishes the take.\n";
}

int RunLiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    LiveCliOptions o;
    const std::string bad = ParseLive(args, o);
    if (o.help) {
        out << LiveHelp();
        return kCliOk;
    }
    if (!bad.empty()) {
        err << "vokra-cli live: " << bad << "\n"
            << "Try 'vokra-cli live --help'.\n";
        return kCliUsageError;
    }
    if (o.listDevices) {
        std::string why;
        const auto names = LiveCaptureDevices(why);
        if (!why.empty()) {
            err << "vokra-cli live: " << why << "\n";
            return kCliFileError;
        }
        for (const auto& name : names) out << name << "\n";
        return kCliOk;
    }
    LiveVrmMap map = DefaultLiveVrmMap();
    if (!o.mapPath.empty()) {
        std::ifstream in(o.mapPath);
        std::ostringstream text;
        text << in.rdbuf();
        std::string why;
        if (!in || !ParseLiveVrmMap(text.str(), map, why)) {
            err << "vokra-cli live: " << o.mapPath << ": " << (why.empty() ? "cannot be read" : why)
                << "\n";
            return kCliFileError;
        }
    }

    std::string why;
    std::unique_ptr<LiveSource> source;
    if (o.input == "-") {
        source = OpenLivePcm(STDIN_FILENO, o.rate, o.channels, o.format);
    } else if (!o.input.empty()) {
        if (!RefuseNonSound(o.input)) return kCliFileError;
        source = OpenLiveFile(o.input, why);
    } else {
        source = OpenLiveCapture(o.device, 48000, why);
    }
    if (!source) {
        err << "vokra-cli live: " << why << "\n";
        return kCliFileError;
    }

    std::vector<std::unique_ptr<LiveSink>> owned;
    if (o.jsonl) owned.push_back(MakeJsonLinesSink(out));
    if (o.vmc) {
        auto sink = MakeVmcSink(o.vmcTarget, map, o.vrm1, why);
        if (!sink) {
            err << "vokra-cli live: --vmc: " << why << "\n";
            return kCliUsageError;
        }
        owned.push_back(std::move(sink));
    }
    if (o.vts) {
        VtsOptions vts;
        vts.url = o.vtsUrl;
        vts.settingsPath = o.settingsPath.empty() ? DefaultLiveSettingsPath() : o.settingsPath;
        vts.log = [&err](const std::string& line) { err << "VTube Studio: " << line << "\n"; };
        auto sink = MakeVtsSink(vts, map, why);
        if (!sink) {
            err << "vokra-cli live: --vts: " << why << "\n";
            return kCliUsageError;
        }
        owned.push_back(std::move(sink));
    }
    if (!o.recordPath.empty()) {
        auto sink = MakeTakeSink(o.recordPath, o.input, why);
        if (!sink) {
            err << "vokra-cli live: --record: " << why << "\n";
            return kCliUsageError;
        }
        owned.push_back(std::move(sink));
    }
    std::vector<LiveSink*> sinks;
    for (auto& s : owned) sinks.push_back(s.get());

    g_stopLive.store(false);
    struct sigaction action {};
    action.sa_handler = StopLive;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt {
    }, oldTerm{}, oldPipe{};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
    // A reader of the JSON lines that goes away must not take the take with it.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &oldPipe);

    LiveRunOptions run;
    run.settings = o.settings;
    run.fastest = o.fastest;
    run.log = [&err](const std::string& line) { err << "vokra-cli live: " << line << "\n"; };
    const std::int64_t limit = o.seconds > 0.0 ? static_cast<std::int64_t>(o.seconds * 100.0) : -1;
    // Each output's status, told when it changes; the run ends when its only output is gone.
    std::vector<LiveSinkStatus> told(sinks.size());
    run.watch = [&](const LiveFrame& f) {
        if (limit >= 0 && f.window + 1 >= limit) g_stopLive.store(true);
        bool anyLeft = false;
        for (std::size_t i = 0; i < sinks.size(); ++i) {
            const LiveSinkStatus status = sinks[i]->Status();
            anyLeft |=
                status.link != LiveLink::Refused || sinks[i] != owned.front().get() || !o.jsonl;
            if (o.vts && sinks[i]->Name().rfind("VTube Studio", 0) == 0) continue;  // logs its own
            if (status.link != told[i].link || status.reason != told[i].reason) {
                if (status.link != LiveLink::Connected || told[i].link != LiveLink::Off)
                    err << "vokra-cli live: " << sinks[i]->Name() << ": "
                        << LiveLinkName(status.link)
                        << (status.reason.empty() ? "" : " (" + status.reason + ")") << "\n";
                told[i] = status;
            }
        }
        if (!anyLeft) g_stopLive.store(true);
    };
    LiveRunStats stats;
    const bool ok = RunLive(*source, sinks, run, g_stopLive, stats, why);
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    sigaction(SIGPIPE, &oldPipe, nullptr);
    if (stats.dropped > 0)
        err << "vokra-cli live: " << stats.dropped
            << " samples were lost: the analysis fell behind the input\n";
    if (!ok) {
        err << "vokra-cli live: " << why << "\n";
        return kCliFileError;
    }
    return kCliOk;
}

}  // namespace vokra
