#include "sound/import/messages.h"

#include <charconv>

namespace vokra {
namespace {

std::string Fixed(double value, int decimals) {
    char buf[64];
    auto [ptr, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("?");
}

// 4000000 -> "4,000,000".
std::string Grouped(std::int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
    return value < 0 ? "-" + digits : digits;
}

}  // namespace

std::string SoundFileInfo::Describe() const {
    std::string what = encoding;
    if (container != "WAV" && container != encoding) what = container + " " + encoding;
    return std::to_string(sampleRate) + " Hz, " + std::to_string(channels) +
           (channels == 1 ? " channel, " : " channels, ") + what + ", " +
           (longerThanFrames
                ? std::string("more than 500")
                : SecondsApartFrom(Seconds(), static_cast<double>(kMaxImportSamples) / 8000)) +
           " s";
}

std::string EndsEarlyNotice(const std::string& name, const SoundFileInfo& info) {
    if (!info.EndsEarly() || info.sampleRate <= 0) return {};
    const double readable = static_cast<double>(info.readableFrames) / info.sampleRate;
    return name + " ends after " + SecondsApartFrom(readable, info.Seconds()) + " s of the " +
           SecondsApartFrom(info.Seconds(), readable) + " s its header promises.";
}

std::string TooLongForImport(const std::string& name, const SoundFileInfo& info) {
    const double limit = static_cast<double>(kMaxImportSamples) / 8000;
    const std::string length = info.longerThanFrames
                                   ? "longer than " + Fixed(limit, 0) + " s"
                                   : SecondsApartFrom(info.Seconds(), limit) + " s long";
    return name + " is " + length + "; Vokra works on sounds of at most " +
           Grouped(kMaxImportSamples) + " samples, which is 500 s at 8000 Hz, the lowest rate it " +
           "converts to.";
}

std::string TooLongAtChosenRate(const std::string& name, const SoundFileInfo& info,
                                const RatePlan& plan) {
    const double limitSeconds = static_cast<double>(kMaxImportSamples) / plan.rate;
    return name + " is " + Fixed(info.Seconds(), 1) + " s long: at " + std::to_string(plan.rate) +
           " Hz it would hold " + Grouped(plan.samples) + " samples, and Vokra works on at most " +
           Grouped(kMaxImportSamples) + " (" + Fixed(limitSeconds, 1) + " s at that rate).";
}

std::string SecondsApartFrom(double seconds, double other) {
    std::string text;
    for (int decimals = 1; decimals <= 6; ++decimals) {
        text = Fixed(seconds, decimals);
        double shown = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), shown);
        if ((seconds > other) == (shown > other) && (seconds < other) == (shown < other)) break;
    }
    return text;
}

std::string CouldNotWriteMessage(const std::string& path, const std::string& reason) {
    return reason.empty() ? "Could not write file " + path
                          : "Could not write file " + path + "\n" + reason;
}

std::string LoadableSoundSummary() {
    return "Vokra works on mono 8- or 16-bit PCM WAVE files of 4000 to 44100 Hz holding at most "
           "4,000,000 samples.";
}

}  // namespace vokra
