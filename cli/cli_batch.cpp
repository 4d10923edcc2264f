// vokra-cli batch MANIFEST: many recordings keyed in one process, on worker threads. The model is
// part of the program and libespeak-ng is started once (its calls take one lock), so a short
// line costs its analysis alone, not a process's start. Each line is checked before any work
// (its format, its language, that its output is neither an input nor another line's output);
// a line that fails is reported and the rest carry on; the exit status is 1 when any failed.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "cli/batch_manifest.h"
#include "cli/cli_messages.h"
#include "cli/cli_pipelines.h"
#include "cli/cli_runner.h"
#include "cli/output_guard.h"
#include "document/key_export.h"
#include "document/script_file.h"
#include "document/script_record.h"
#include "document/shape_export.h"
#include "platform/atomic_file.h"
#include "shapes/script_alignment.h"
#include "shapes/script_phonemes.h"
#include "shapes/shape_estimator.h"
#include "shapes/shape_lead.h"
#include "shapes/shape_options.h"
#include "shapes/shape_set.h"
#include "sound/load_recording.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr int kMaxJobs = 256;

struct BatchOptions {
    std::string manifest;
    int jobs = 0;  // 0: one per core
    bool jsonl = false;
    bool resume = false;
    double fps = 15.0;  // csv and dat, as for shapes
    ShapeOptions shape;
};

enum class JobState { Pending, Skipped, Failed, Done };

struct Job {
    BatchItem item;
    ShapeFormat format = ShapeFormat::Tsv;
    JobState state = JobState::Pending;
    std::string error;
    std::vector<std::string> notes;
    double seconds = 0.0;  // of sound keyed
};

std::string BatchUsage() {
    return "Usage: vokra-cli batch MANIFEST [-j N] [--progress jsonl|text] [--resume]\n"
           "                        [--fps RATE] [--lead MS] [--extended-shapes SET]\n";
}

int BatchUsageError(std::ostream& err, const std::string& reason) {
    err << "vokra-cli: batch: " << reason << "\n" << BatchUsage();
    return kCliUsageError;
}

std::optional<long long> Whole(const std::string& text) {
    long long v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

// Empty when usable; else why not.
std::string ParseBatchOptions(const std::vector<std::string>& args, BatchOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            if (!o.manifest.empty()) return "unexpected argument '" + arg + "'";
            o.manifest = arg;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            name = arg.substr(0, arg.find('='));
            value = arg.substr(arg.find('=') + 1);
        } else if (arg.rfind("-j", 0) == 0 && arg.size() > 2) {
            name = "-j";
            value = arg.substr(2);
        }
        if (name == "--resume") {
            if (value) return "option --resume takes no value";
            o.resume = true;
            continue;
        }
        if (name != "-j" && name != "--jobs" && name != "--progress" && name != "--fps" &&
            name != "--lead" && name != "--extended-shapes") {
            return "unknown option '" + name + "'";
        }
        if (!value) {
            if (i + 1 >= args.size()) return "option " + name + " needs a value";
            value = args[++i];
        }
        if (name == "-j" || name == "--jobs") {
            const auto n = Whole(*value);
            if (!n || *n < 1 || *n > kMaxJobs)
                return name + " must be a whole number from 1 to " + std::to_string(kMaxJobs) +
                       " (got '" + *value + "')";
            o.jobs = static_cast<int>(*n);
        } else if (name == "--progress") {
            if (*value != "jsonl" && *value != "text")
                return "--progress must be jsonl or text (got '" + *value + "')";
            o.jsonl = *value == "jsonl";
        } else if (name == "--fps") {
            double fps = 0.0;
            auto [ptr, ec] = std::from_chars(value->data(), value->data() + value->size(), fps);
            if (ec != std::errc() || ptr != value->data() + value->size() || !(fps >= 1.0) ||
                fps > 100.0)
                return "--fps must be a number from 1 to 100 (got '" + *value + "')";
            o.fps = fps;
        } else if (name == "--lead") {
            const auto ms = Whole(*value);
            if (!ms || *ms < 0 || *ms > kMaxShapeLeadMs)
                return "--lead must be a whole number of milliseconds from 0 to " +
                       std::to_string(kMaxShapeLeadMs) + " (got '" + *value + "')";
            o.shape.leadMs = static_cast<std::int32_t>(*ms);
        } else {
            const auto set = ParseShapeSet(*value);
            if (!set)
                return "--extended-shapes must be any of the letters G, H and X, or \"\" (got '" +
                       *value + "')";
            o.shape.extended = *set;
        }
    }
    if (o.manifest.empty()) return "no manifest given";
    return {};
}

// The format of a line: as it names it, else by its output's extension, else tsv. Names go
// through the shapes writer's own table, so every format `shapes` writes is taken here too.
bool ChooseFormat(Job& job) {
    if (!job.item.format.empty()) {
        const auto format = ShapeFormatFromName(job.item.format);
        if (!format) {
            job.error = "'" + job.item.format + "' is not a format shapes --format writes";
            return false;
        }
        job.format = *format;
        return true;
    }
    const std::string name = std::filesystem::path(job.item.output).extension().string();
    const auto format = name.size() > 1 ? ShapeFormatFromName(name.substr(1)) : std::nullopt;
    job.format = format.value_or(ShapeFormat::Tsv);
    return true;
}

// ---- What keeps a batch from destroying files (the output guards, all in one place) ----

// One key per file: an existing file by device and inode (whatever links lead to it), a file
// not made yet by the place a write would create it.
std::string FileKey(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return "#" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    std::error_code ec;
    const auto place = std::filesystem::weakly_canonical(
        std::filesystem::absolute(ResolveWriteTarget(path), ec), ec);
    return ec ? path : place.string();
}

std::optional<std::timespec> ModifiedAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return st.st_mtim;
}

bool Newer(const std::timespec& a, const std::timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// Marks failed every line whose output is an input (its own or another line's, or the manifest)
// or is also another line's output; with `resume`, marks skipped the lines whose output is newer
// than their inputs.
void GuardOutputs(std::vector<Job>& jobs, const std::string& manifest, bool resume) {
    std::map<std::string, const Job*> inputs;
    inputs.emplace(FileKey(manifest), nullptr);
    for (const Job& job : jobs) {
        if (job.state != JobState::Pending) continue;
        for (const std::string* in : {&job.item.sound, &job.item.text}) {
            if (!in->empty() && ModifiedAt(*in)) inputs.emplace(FileKey(*in), &job);
        }
    }
    std::map<std::string, Job*> outputs;
    for (Job& job : jobs) {
        if (job.state != JobState::Pending) continue;
        const BatchItem& item = job.item;
        if (IsSameFile(item.output, item.sound) ||
            (!item.text.empty() && IsSameFile(item.output, item.text))) {
            job.error = "the output " + item.output + " is this line's own input";
        } else if (IsSameFile(item.output, manifest)) {
            job.error = "the output " + item.output + " is the manifest itself";
        } else if (const std::string key = FileKey(item.output); inputs.count(key)) {
            const Job* owner = inputs.at(key);
            job.error = "the output " + item.output + " is an input of line " +
                        std::to_string(owner ? owner->item.line : 0);
        } else if (auto [at, fresh] = outputs.emplace(key, &job); !fresh) {
            // Neither line may write it: which one was meant is unknown.
            Job& first = *at->second;
            job.error = "the output " + item.output + " is also the output of line " +
                        std::to_string(first.item.line);
            if (first.state == JobState::Pending) {
                first.state = JobState::Failed;
                first.error = "the output " + first.item.output + " is also the output of line " +
                              std::to_string(item.line);
            }
        }
        if (!job.error.empty()) {
            job.state = JobState::Failed;
            continue;
        }
        if (!ModifiedAt(item.sound)) {
            job.state = JobState::Failed;
            job.error = "cannot find the sound " + item.sound + " (or it is not a regular file)";
            continue;
        }
        if (resume) {
            const auto written = ModifiedAt(item.output);
            const auto sound = ModifiedAt(item.sound);
            const auto text = item.text.empty() ? sound : ModifiedAt(item.text);
            if (written && sound && text && Newer(*written, *sound) && Newer(*written, *text)) {
                job.state = JobState::Skipped;
            }
        }
    }
}

// ---- One line ----

std::string FullPath(const std::string& path) {
    std::error_code ec;
    const auto full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

void Key(Job& job, const BatchOptions& o) {
    const BatchItem& item = job.item;
    SoundData sound;
    const RecordingLoad load = LoadRecording(item.sound, sound);
    std::string refusals;
    for (const RecordingMessage& m : load.messages) {
        if (m.kind == RecordingMessage::Kind::Refusal) {
            refusals += (refusals.empty() ? "" : " ") + m.text;
        } else {
            job.notes.push_back(m.text);
        }
    }
    if (!load.loaded) {
        job.error = refusals.empty() ? "cannot load the sound " + item.sound : refusals;
        return;
    }
    std::vector<MouthShape> per10ms;
    if (!item.text.empty()) {
        const ScriptFileResult script = ReadScriptFile(item.text);
        if (!script.ok()) {
            job.error = script.error;
            return;
        }
        const ScriptAlignment a =
            AlignShapesToText(sound.GetSamples(), sound.GetSampleCount(), sound.GetSampleRate(),
                              script.text, item.language);
        if (!a.ok()) {
            job.error = a.error;
            return;
        }
        if (!a.notice.empty()) job.notes.push_back(a.notice);
        if (const std::string missing = NotFoundText(a, 100); !missing.empty())
            job.notes.push_back(missing + "; their shapes were guessed from the sound alone");
        per10ms = a.per10ms;
        ApplyShapeLead(per10ms, o.shape.leadMs);
        ApplyShapeSet(per10ms, o.shape.extended);
    } else {
        per10ms =
            GuessShapes(sound.GetSamples(), sound.GetSampleCount(), sound.GetSampleRate(), o.shape);
    }
    ShapeExportInfo info;
    info.soundPath = FullPath(item.sound);
    info.sampleRate = sound.GetSampleRate();
    info.sampleCount = sound.GetSampleCount();
    info.duration = static_cast<double>(sound.GetSampleCount()) / sound.GetSampleRate();
    info.frameRate = o.fps;
    info.shapeSet = o.shape.extended;
    std::ostringstream text;
    if (!WriteShapes(job.format, per10ms, info, text)) {
        job.error = "could not make the shapes of " + item.sound;
        return;
    }
    std::string why;
    if (!WriteFileAtomically(item.output, text.str(), &why)) {
        job.error = "could not write " + item.output + (why.empty() ? "" : ": " + why);
        return;
    }
    job.seconds = info.duration;
    job.state = JobState::Done;
}

// ---- Progress ----

const char* StateName(JobState s) {
    return s == JobState::Done ? "done" : s == JobState::Skipped ? "skipped" : "failed";
}

std::string JsonText(std::string_view text) {
    std::string s;
    AppendJsonString(s, text);
    return s;
}

class Progress {
public:
    Progress(std::ostream& err, bool jsonl, std::size_t total)
        : err_(err), jsonl_(jsonl), total_(total) {}

    void Report(const Job& job) {
        std::lock_guard<std::mutex> hold(lock_);
        ++counted_;
        if (jsonl_) {
            std::string line = "{\"type\":\"item\",\"line\":" + std::to_string(job.item.line) +
                               ",\"sound\":" + JsonText(job.item.sound) +
                               ",\"output\":" + JsonText(job.item.output) + ",\"status\":\"" +
                               StateName(job.state) + "\",\"done\":" + std::to_string(counted_) +
                               ",\"total\":" + std::to_string(total_);
            if (!job.error.empty()) line += ",\"error\":" + JsonText(job.error);
            if (!job.notes.empty()) {
                line += ",\"notes\":[";
                for (std::size_t n = 0; n < job.notes.size(); ++n)
                    line += (n ? "," : "") + JsonText(job.notes[n]);
                line += "]";
            }
            err_ << line << "}\n" << std::flush;
            return;
        }
        const std::string where = "vokra-cli: batch: line " + std::to_string(job.item.line) +
                                  (job.item.sound.empty() ? "" : " (" + job.item.sound + ")");
        if (job.state == JobState::Failed) err_ << where << ": " << job.error << "\n";
        for (const std::string& note : job.notes) err_ << where << ": " << note << "\n";
    }

    void Summary(const std::vector<Job>& jobs) {
        std::size_t done = 0, skipped = 0, failed = 0;
        double seconds = 0.0;
        for (const Job& job : jobs) {
            done += job.state == JobState::Done;
            skipped += job.state == JobState::Skipped;
            failed += job.state == JobState::Failed;
            seconds += job.seconds;
        }
        if (jsonl_) {
            std::string s = "{\"type\":\"summary\",\"total\":" + std::to_string(jobs.size()) +
                            ",\"done\":" + std::to_string(done) +
                            ",\"skipped\":" + std::to_string(skipped) +
                            ",\"failed\":" + std::to_string(failed) + ",\"seconds\":";
            AppendShortest(s, seconds);
            err_ << s << "}\n" << std::flush;
        } else {
            err_ << "vokra-cli: batch: " << done << " keyed, " << skipped << " skipped, " << failed
                 << " failed\n";
        }
    }

private:
    std::ostream& err_;
    bool jsonl_;
    std::size_t total_;
    std::size_t counted_ = 0;
    std::mutex lock_;
};

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            out << BatchUsage();
            return kCliOk;
        }
    }
    BatchOptions o;
    if (const std::string why = ParseBatchOptions(args, o); !why.empty())
        return BatchUsageError(err, why);
    ScopedCliMessages messages(err);
    const BatchManifest manifest = ReadBatchManifest(o.manifest);
    if (!manifest.ok()) {
        err << "vokra-cli: batch: " << manifest.error << "\n";
        return kCliFileError;
    }

    std::vector<Job> jobs;
    jobs.reserve(manifest.items.size());
    std::map<std::string, bool> languages;  // asked of espeak-ng once each
    for (const BatchItem& item : manifest.items) {
        Job& job = jobs.emplace_back();
        job.item = item;
        job.error = item.error;
        if (job.error.empty() && !item.text.empty() && job.item.language.empty())
            job.item.language = "en-us";
        if (job.error.empty() && item.text.empty() && !item.language.empty())
            job.error = "a language applies only with a text";
        if (job.error.empty() && !job.item.language.empty()) {
            const std::string& l = job.item.language;
            auto [at, fresh] = languages.emplace(l, false);
            if (fresh) at->second = IsPlausibleScriptLanguage(l) && IsScriptLanguage(l);
            if (!at->second) job.error = "espeak-ng has no language '" + l + "'";
        }
        if (job.error.empty()) ChooseFormat(job);
        if (!job.error.empty()) job.state = JobState::Failed;
    }
    GuardOutputs(jobs, o.manifest, o.resume);

    Progress progress(err, o.jsonl, jobs.size());
    for (const Job& job : jobs)
        if (job.state != JobState::Pending) progress.Report(job);

    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            if (jobs[i].state != JobState::Pending) continue;
            Key(jobs[i], o);
            if (jobs[i].state == JobState::Pending) jobs[i].state = JobState::Failed;
            progress.Report(jobs[i]);
        }
    };
    const std::size_t pending = static_cast<std::size_t>(std::count_if(
        jobs.begin(), jobs.end(), [](const Job& j) { return j.state == JobState::Pending; }));
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threads =
        std::min<std::size_t>(o.jobs > 0 ? static_cast<std::size_t>(o.jobs) : cores, pending);
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < threads; ++t) workers.emplace_back(work);
    if (threads > 0) work();
    for (std::thread& w : workers) w.join();

    progress.Summary(jobs);
    const bool anyFailed = std::any_of(jobs.begin(), jobs.end(),
                                       [](const Job& j) { return j.state == JobState::Failed; });
    return anyFailed ? kCliFileError : kCliOk;
}

}  // namespace vokra
