// The mouths of the switch data from an envelope: the bands of openings, their checks, and the
// "NAME:LIMIT,...,NAME" text they are given and kept as.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "document/export/export_text.h"
#include "document/key_export.h"

namespace vokra {
namespace {

bool IsNameByte(unsigned char c) {
    return c > 0x20 && c != 0x7F && c != ':' && c != ',';
}

// "12", "-3", "+0.5", "1e3": switch-data readers take such a name for a number and drop it.
bool IsPlainNumber(std::string_view name) {
    if (!name.empty() && name.front() == '+') name.remove_prefix(1);
    if (name.find_first_of("0123456789") == std::string_view::npos) return false;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(name.data(), name.data() + name.size(), value);
    return ec == std::errc() && ptr == name.data() + name.size();
}

MouthBandsParse ParseMouthBandList(std::string_view text) {
    MouthBandsParse r;
    if (text.empty()) {
        r.error = "the mouth list is empty";
        return r;
    }
    // Counted first: a list as long as a settings file allows is refused before it is split.
    std::size_t commas = 0;
    for (char c : text) commas += c == ',';
    if (commas >= kMaxMouthBands) {
        r.error = "the mouth list has more than " + std::to_string(kMaxMouthBands) + " mouths";
        return r;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        const bool last = end == text.size();
        const std::size_t colon = item.find(':');
        MouthBand band;
        band.name = std::string(item.substr(0, colon));
        if (last) {
            if (colon != std::string_view::npos) {
                r.error = "the last mouth ('" + band.name + "') takes every opening above the " +
                          "others and has no limit";
                return r;
            }
        } else {
            if (colon == std::string_view::npos) {
                r.error = "mouth '" + band.name + "' needs a limit (NAME:LIMIT)";
                return r;
            }
            const std::string_view limit = item.substr(colon + 1);
            const auto [ptr, ec] = std::from_chars(limit.data(), limit.data() + limit.size(),
                                                   band.upper, std::chars_format::general);
            if (limit.empty() || ec != std::errc() || ptr != limit.data() + limit.size() ||
                !std::isfinite(band.upper)) {
                r.error = "the limit of mouth '" + band.name + "' must be a number (got '" +
                          std::string(limit) + "')";
                return r;
            }
        }
        r.bands.push_back(std::move(band));
        if (last) break;
        start = end + 1;
    }
    return r;
}

}  // namespace

MouthBands DefaultMouthBands() {
    return {{"rest", 0.10f}, {"etc", 0.30f}, {"E", 0.55f}, {"AI", 0.0f}};
}

std::string CheckMouthName(const std::string& name, std::size_t ordinal) {
    if (name.empty()) return "mouth " + std::to_string(ordinal) + " has no name";
    // Checked first: a name that is not UTF-8 is not repeated in a message.
    if (!IsValidUtf8(name)) {
        return "the name of mouth " + std::to_string(ordinal) + " is not valid UTF-8 text";
    }
    if (name.size() > kMaxMouthNameLength) {
        return "the mouth name '" + name.substr(0, 20) + "...' is longer than " +
               std::to_string(kMaxMouthNameLength) + " characters";
    }
    for (char c : name) {
        if (!IsNameByte(static_cast<unsigned char>(c))) {
            return "the mouth name '" + name + "' has a space, a control character, ':' or ','";
        }
    }
    if (IsPlainNumber(name)) {
        return "the mouth name '" + name + "' is a plain number, which readers of switch data drop";
    }
    return {};
}

std::string CheckMouthBands(const MouthBands& bands) {
    if (bands.empty()) return "the mouth list is empty";
    if (bands.size() > kMaxMouthBands) {
        return "the mouth list has more than " + std::to_string(kMaxMouthBands) + " mouths";
    }
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const MouthBand& band = bands[i];
        if (std::string why = CheckMouthName(band.name, i + 1); !why.empty()) return why;
        if (i + 1 == bands.size()) break;
        if (!std::isfinite(band.upper)) {
            return "the limit of mouth '" + band.name + "' is not a number";
        }
        if (i > 0 && !(band.upper > bands[i - 1].upper)) {
            std::string text =
                "the limits must rise from one mouth to the next ('" + band.name + "' at ";
            AppendShortest(text, band.upper);
            text += " follows '" + bands[i - 1].name + "' at ";
            AppendShortest(text, bands[i - 1].upper);
            return text + ")";
        }
    }
    return {};
}

MouthBandsParse ParseMouthBands(std::string_view text) {
    MouthBandsParse r = ParseMouthBandList(text);
    if (r.error.empty()) r.error = CheckMouthBands(r.bands);
    if (!r.error.empty()) r.bands.clear();
    return r;
}

std::string FormatMouthBands(const MouthBands& bands) {
    std::string text;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        if (i > 0) text += ',';
        text += bands[i].name;
        if (i + 1 < bands.size()) {
            text += ':';
            AppendShortest(text, bands[i].upper);
        }
    }
    return text;
}

std::size_t MouthBandOf(const MouthBands& bands, double opening) {
    std::size_t i = 0;
    while (i + 1 < bands.size() && opening >= static_cast<double>(bands[i].upper)) ++i;
    return i;
}

}  // namespace vokra
