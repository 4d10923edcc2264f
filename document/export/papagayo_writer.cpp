// The mouths as a Papagayo-NG project (.pgo, "lipsync version 1"): one voice, one phrase. With an
// aligned script its words carry their frames and, as phonemes, the mouths inside them; without
// one every stretch of speech between rests is a word "mouths". Frames count from 0, the rate is
// whole, and names hold no spaces (the reader splits lines at them).
#include <cmath>

#include "document/export/export_text.h"
#include "document/export/rig_writers.h"
#include "document/key_export.h"

namespace vokra {
namespace {

struct PgoWord {
    std::string text;
    std::int32_t first = 0;
    std::int32_t last = 0;
};

// A line of the file holds no line break, and a word no space.
std::string OneLine(std::string_view text, bool noSpaces) {
    std::string line;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            line += noSpaces ? '_' : ' ';
        } else {
            line += noSpaces && c == ' ' ? '_' : c;
        }
    }
    return line;
}

std::vector<PgoWord> Words(const RigMouths& m, const RigExportOptions& o) {
    std::vector<PgoWord> words;
    const auto frames = static_cast<std::int32_t>(m.frames.size());
    if (!m.words.empty()) {
        for (const RigWord& w : m.words) {
            const std::int32_t first = std::max(w.first, words.empty() ? 0 : words.back().last + 1);
            const std::int32_t last = std::min(w.last, frames - 1);
            if (first > last || w.text.empty()) continue;
            words.push_back({OneLine(w.text, true), first, last});
        }
        return words;
    }
    const std::string& rest = NameOf(o, MouthShape::X);
    for (std::int32_t f = 0; f < frames;) {
        if (NameOf(o, m.frames[static_cast<std::size_t>(f)]) == rest) {
            ++f;
            continue;
        }
        std::int32_t end = f;
        while (end + 1 < frames && NameOf(o, m.frames[static_cast<std::size_t>(end + 1)]) != rest) {
            ++end;
        }
        words.push_back({"mouths", f, end});
        f = end + 1;
    }
    return words;
}

}  // namespace

bool WritePapagayo(const RigMouths& m, const RigExportOptions& o, std::ostream& out) {
    const std::vector<PgoWord> words = Words(m, o);
    const std::vector<MouthChange> changes = MouthChanges(m.frames, *o.names);
    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "lipsync version 1\n" + OneLine(m.soundPath, false) + "\n";
    AppendInt(t, static_cast<std::int64_t>(std::llround(m.frameRate)));
    t += '\n';
    AppendInt(t, static_cast<std::int64_t>(m.frames.size()));
    t += "\n1\n\tVoice 1\n\t";
    std::string phrase;
    for (const PgoWord& w : words) phrase += (phrase.empty() ? "" : " ") + w.text;
    // The voice's text keeps the script's lines ('|' stands for a line break).
    std::string text = m.script.empty() ? phrase : m.script;
    for (char& c : text) c = c == '\n' ? '|' : c;
    t += OneLine(text, false) + "\n\t" + (words.empty() ? "0" : "1");
    chunks.Line();
    if (words.empty()) return chunks.Finish();
    t += "\t\t" + phrase + "\n\t\t";
    AppendInt(t, words.front().first);
    t += "\n\t\t";
    AppendInt(t, words.back().last);
    t += "\n\t\t";
    AppendInt(t, static_cast<std::int64_t>(words.size()));
    chunks.Line();
    std::size_t c = 0;
    for (const PgoWord& w : words) {
        // The mouth at the word's first frame, then every change inside it.
        while (c + 1 < changes.size() && changes[c + 1].frame <= w.first) ++c;
        std::string phonemes;
        std::int64_t count = 0;
        for (std::size_t i = c; i < changes.size() && changes[i].frame <= w.last; ++i) {
            phonemes += "\t\t\t\t";
            AppendInt(phonemes, std::max(changes[i].frame, w.first));
            phonemes += ' ' + NameOf(o, changes[i].shape) + '\n';
            ++count;
        }
        t += "\t\t\t" + w.text + ' ';
        AppendInt(t, w.first);
        t += ' ';
        AppendInt(t, w.last);
        t += ' ';
        AppendInt(t, count);
        chunks.Line();
        t += phonemes;
        if (!phonemes.empty()) {
            t.pop_back();
            chunks.Line();
        }
    }
    return chunks.Finish();
}

}  // namespace vokra
