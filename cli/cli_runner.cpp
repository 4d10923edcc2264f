#include "cli/cli_runner.h"

#include <charconv>
#include <ostream>

#include "cli/cli_messages.h"
#include "cli/cli_options.h"
#include "cli/cli_pipelines.h"
#include "cli/cli_steps.h"
#include "document/vokra_doc.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "sound/import.h"
#include "sound/load_recording.h"

namespace vokra {

int UsageError(std::ostream& err, const std::string& reason) {
    err << "vokra-cli: " << reason << "\n" << CliUsage();
    return kCliUsageError;
}

// A document with the settings' defaults: the tool never reads or writes a settings file, so the
// same command line gives the same output on every machine.
void ResetWithoutSettings(CVokraDoc& doc) {
    Profile().SetPath(std::string());
    doc.OnNewDocument();
}

// Reads a document without the program's open steps (no sound is looked for). Its messages
// name it. Only a command that writes the document back puts back the old version of a save
// stopped half-way; one that only reads changes nothing and says what it found.
bool ReadDocument(CVokraDoc& doc, const std::string& path, bool writesBack) {
    ResetWithoutSettings(doc);
    // A folder or a pipe is there, just not a document: said for what it is, not "cannot find".
    if (IsNotARegularFile(path)) {
        AfxMessageBox(NotASoundReason(path, "a Vokra document"));
        return false;
    }
    auto* cli = dynamic_cast<CliMessageService*>(&Messages());
    if (cli) cli->SetSubject(path);
    doc.SetOpensOnlyToRead(!writesBack);
    const bool read = doc.DocumentBase::OnOpenDocument(path);
    doc.SetOpensOnlyToRead(false);
    if (cli) cli->SetSubject(std::string());
    return read;
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A folder, a pipe, a device or an empty file given as a sound: says what it is; false.
bool RefuseNonSound(const std::string& path) {
    const std::string reason = NotASoundReason(path);
    if (reason.empty()) return true;
    AfxMessageBox(reason);
    return false;
}

void TellUser(const std::vector<RecordingMessage>& messages, std::ostream& err) {
    for (const RecordingMessage& message : messages) {
        if (message.kind == RecordingMessage::Kind::Refusal) {
            AfxMessageBox(message.text);
        } else {
            err << "vokra-cli: " << message.text << "\n";
        }
    }
}

std::string ShortestNumber(double value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

std::string ShortestNumber(float value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    // The pipelines' commands have command lines of their own.
    if (!args.empty() && (args[0] == "rhubarb" || args[0] == "batch")) {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        return args[0] == "rhubarb" ? RunRhubarb(rest, out, err) : RunBatch(rest, out, err);
    }
    ScopedCliMessages messages(err);
    // live has options of its own.
    if (!args.empty() && args[0] == "live") {
        Profile().SetPath(std::string());  // the take's document reads no settings
        return RunLiveCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
    const CliParseResult parsed = ParseCliArguments(args);
    if (!parsed.ok()) return UsageError(err, parsed.error);
    const CliOptions& o = parsed.options;
    switch (o.command) {
        case CliCommand::Help:
            out << CliHelp();
            return kCliOk;
        case CliCommand::Version:
            out << CliVersionText();
            return kCliOk;
        case CliCommand::AutoKey:
            return RunAutoKey(o, out, err);
        case CliCommand::Export:
            return RunExport(o, out, err);
        case CliCommand::Info:
            return RunInfo(o, out, err);
        case CliCommand::Convert:
            return RunConvert(o, err);
        case CliCommand::Shapes:
            return RunShapes(o, out, err);
        case CliCommand::Edit:
            return RunEdit(o, out, err);
    }
    return kCliUsageError;
}

}  // namespace vokra
