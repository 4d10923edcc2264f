#include "cli/batch_manifest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

namespace vokra {
namespace {

constexpr std::array<const char*, 5> kColumns = {"sound", "text", "language", "output", "format"};

int ColumnOf(std::string_view name) {
    for (std::size_t c = 0; c < kColumns.size(); ++c)
        if (name == kColumns[c]) return static_cast<int>(c);
    return -1;
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

std::string Resolved(const std::string& path, const std::string& folder) {
    if (path.empty() || path.front() == '/' || folder.empty()) return path;
    return folder + "/" + path;
}

std::string LineText(std::int32_t line) {
    return "line " + std::to_string(line);
}

// Fills an item from its five values (by column), checking what is required.
BatchItem ItemOf(std::int32_t line, const std::array<std::string, 5>& v,
                 const std::string& folder) {
    BatchItem item;
    item.line = line;
    item.sound = Resolved(v[0], folder);
    item.text = Resolved(v[1], folder);
    item.language = v[2];
    item.output = Resolved(v[3], folder);
    item.format = v[4];
    if (item.sound.empty()) {
        item.error = LineText(line) + " names no sound";
    } else if (item.output.empty()) {
        item.error = LineText(line) + " names no output";
    }
    return item;
}

BatchItem Failed(std::int32_t line, std::string why) {
    BatchItem item;
    item.line = line;
    item.error = LineText(line) + " " + std::move(why);
    return item;
}

struct Record {
    std::int32_t line = 0;
    std::vector<std::string> fields;
    std::string error;
};

// CSV records as RFC 4180 has them (quoted fields may hold commas, quotes doubled and line
// breaks); a record longer than kMaxManifestLine is given up at the next line break.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {}

    bool Next(Record& r) {
        r = Record{};
        while (pos_ < text_.size()) {
            r.line = line_;
            r.fields.assign(1, std::string());
            const std::size_t start = pos_;
            bool quoted = false;
            bool ended = false;
            while (pos_ < text_.size() && !ended) {
                if (pos_ - start > kMaxManifestLine) {
                    SkipLine();
                    r.fields.clear();
                    r.error = "is longer than " + std::to_string(kMaxManifestLine) + " bytes";
                    return true;
                }
                const char c = text_[pos_];
                std::string& field = r.fields.back();
                if (quoted) {
                    if (c == '"' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                        field += '"';
                        pos_ += 2;
                        continue;
                    }
                    if (c == '"') {
                        quoted = false;
                    } else {
                        if (c == '\n') ++line_;
                        field += c;
                    }
                    ++pos_;
                    continue;
                }
                ++pos_;
                if (c == ',') {
                    r.fields.emplace_back();
                } else if (c == '\n') {
                    ++line_;
                    ended = true;
                } else if (c == '"' && field.empty()) {
                    quoted = true;
                } else if (c != '\r' || (pos_ < text_.size() && text_[pos_] != '\n')) {
                    field += c;
                }
            }
            if (quoted) {
                r.fields.clear();
                r.error = "opens a quoted field that is never closed";
                return true;
            }
            const bool blank = r.fields.size() == 1 && Trimmed(r.fields[0]).empty();
            if (!blank) return true;
        }
        return false;
    }

private:
    void SkipLine() {
        const auto end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
        ++line_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::int32_t line_ = 1;
};

void ParseCsv(std::string_view text, const std::string& folder, BatchManifest& m) {
    CsvReader reader(text);
    Record header;
    if (!reader.Next(header)) {
        m.error = "the manifest is empty; its first line names the columns: " +
                  std::string("sound,text,language,output,format");
        return;
    }
    if (!header.error.empty()) {
        m.error = "the header " + header.error;
        return;
    }
    std::vector<int> columns;
    std::array<bool, 5> seen{};
    for (const std::string& field : header.fields) {
        const std::string name = Trimmed(field);
        const int c = ColumnOf(name);
        if (c < 0 || seen[static_cast<std::size_t>(c)]) {
            m.error = (c < 0 ? "the header names an unknown column '" + name + "'"
                             : "the header names the column '" + name + "' twice") +
                      "; the columns are sound, text, language, output and format";
            return;
        }
        seen[static_cast<std::size_t>(c)] = true;
        columns.push_back(c);
    }
    if (!seen[0] || !seen[3]) {
        m.error =
            "the header must name the columns sound and output (with text, language and "
            "format when wanted)";
        return;
    }
    for (Record r; reader.Next(r);) {
        if (!r.error.empty()) {
            m.items.push_back(Failed(r.line, r.error));
            continue;
        }
        if (r.fields.size() > columns.size()) {
            m.items.push_back(Failed(r.line, "has " + std::to_string(r.fields.size()) +
                                                 " fields; the header names " +
                                                 std::to_string(columns.size())));
            continue;
        }
        std::array<std::string, 5> values;
        for (std::size_t f = 0; f < r.fields.size(); ++f)
            values[static_cast<std::size_t>(columns[f])] = std::move(r.fields[f]);
        m.items.push_back(ItemOf(r.line, values, folder));
    }
}

void ParseJsonLines(std::string_view text, const std::string& folder, BatchManifest& m) {
    std::int32_t line = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++line;
        const auto end = std::min(text.find('\n', pos), text.size());
        const std::string_view row = text.substr(pos, end - pos);
        pos = end + 1;
        if (Trimmed(row).empty()) continue;
        if (row.size() > kMaxManifestLine) {
            m.items.push_back(
                Failed(line, "is longer than " + std::to_string(kMaxManifestLine) + " bytes"));
            continue;
        }
        // Only the top level is kept: a nested value is no path, and is dropped as it is read.
        const nlohmann::json::parser_callback_t flat = [](int depth, nlohmann::json::parse_event_t,
                                                          nlohmann::json&) { return depth <= 1; };
        const nlohmann::json object = nlohmann::json::parse(row, flat, false);
        if (!object.is_object()) {
            m.items.push_back(Failed(line, "is not a JSON object"));
            continue;
        }
        std::array<std::string, 5> values;
        std::string why;
        for (const auto& [key, value] : object.items()) {
            const int c = ColumnOf(key);
            if (c < 0) {
                why = "has an unknown key \"" + key +
                      "\"; the keys are sound, text, language, output and format";
                break;
            }
            if (!value.is_string()) {
                why = "gives \"" + key + "\" a value that is not a string";
                break;
            }
            values[static_cast<std::size_t>(c)] = value.get<std::string>();
        }
        m.items.push_back(why.empty() ? ItemOf(line, values, folder) : Failed(line, why));
    }
}

}  // namespace

BatchManifest ParseBatchManifest(std::string_view text, const std::string& folder) {
    BatchManifest m;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && text[first] == '{') {
        ParseJsonLines(text, folder, m);
        if (m.items.empty()) m.error = "the manifest holds no lines";
    } else {
        ParseCsv(text, folder, m);
    }
    return m;
}

BatchManifest ReadBatchManifest(const std::string& path) {
    BatchManifest m;
    const std::string head = "cannot read the manifest " + path + ": ";
    // Non-blocking, so that a named pipe cannot hold the run; checked as a regular file before a
    // byte is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m.error = head + std::strerror(errno);
        return m;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        m.error = head + (S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
        return m;
    }
    const std::string tooLarge =
        head + "it is larger than " + std::to_string(kMaxManifestBytes >> 20) + " MB";
    if (static_cast<std::uint64_t>(st.st_size) > kMaxManifestBytes) {
        ::close(fd);
        m.error = tooLarge;
        return m;
    }
    // The size may change under us: never more than the limit is read.
    std::string bytes(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > kMaxManifestBytes) break;
            bytes.resize(std::min(bytes.size() * 2, kMaxManifestBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            m.error = head + std::strerror(errno);
            ::close(fd);
            return m;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > kMaxManifestBytes) {
        m.error = tooLarge;
        return m;
    }
    bytes.resize(got);
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "" : path.substr(0, slash + (slash == 0));
    m = ParseBatchManifest(bytes, folder);
    if (!m.ok()) m.error = "the manifest " + path + ": " + m.error;
    return m;
}

}  // namespace vokra
