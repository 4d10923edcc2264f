// The keys as After Effects keyframe data for a slider, the opening in percent.
#include <charconv>

#include "document/export/export_text.h"
#include "document/key_export.h"

namespace vokra {
namespace {

// The opening in percent, written by moving the decimal point of its shortest text two places:
// 0.3 gives 30, not the 30.000001192092896 that multiplying the float would give.
void AppendPercent(std::string& out, float opening) {
    if (opening == 0.0f) {
        out += '0';
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, opening, std::chars_format::scientific);
    const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
    const auto e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c != '.') digits += c;
    }
    int exponent = 0;
    std::string_view exp = text.substr(e + 1);
    if (!exp.empty() && exp.front() == '+') exp.remove_prefix(1);
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    // Digits d0 d1 ... stand for d0.d1... x 10^(exponent + 2) once in percent.
    const int point = exponent + 3;
    const int n = static_cast<int>(digits.size());
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits;
    } else if (point >= n) {
        out += digits;
        out.append(static_cast<std::size_t>(point - n), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(point));
        out += '.';
        out.append(digits, static_cast<std::size_t>(point));
    }
}

}  // namespace

bool WriteKeysAfterEffects(const KeyframeList& keys, const KeyExportInfo& info, std::ostream& out) {
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t";
    AppendShortest(t, info.frameRate);
    t += "\n\tSource Width\t100\n\tSource Height\t100\n\tSource Pixel Aspect Ratio\t1\n"
         "\tComp Pixel Aspect Ratio\t1\n\nEffects\tSlider Control #1\tSlider #2\n\tFrame\t";
    chunks.Line();
    if (HasLeadIn(keys)) {
        t += "\t0\t0";
        chunks.Line();
    }
    for (std::int32_t i = 0; i < keys.GetCount(); ++i) {
        const Keyframe* key = keys.GetAt(i);
        t += '\t';
        AppendInt(t, key->GetFrame());
        t += '\t';
        AppendPercent(t, key->GetOpening());
        chunks.Line();
    }
    // After Effects' own copies leave two blank lines before the end line.
    t += "\n\nEnd of Keyframe Data";
    chunks.Line();
    return chunks.Finish();
}

}  // namespace vokra
