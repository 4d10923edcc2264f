#include <ostream>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_steps.h"
#include "cli/output_guard.h"
#include "platform/message_service.h"
#include "sound/import.h"
#include "sound/load_recording.h"
#include "sound/sound_data.h"

namespace vokra {

// Any recording to a WAVE file the loader takes, by the rule or at the rate and channel asked for.
int RunConvert(const CliOptions& o, std::ostream& err) {
    if (!RefuseNonSound(o.input)) return kCliFileError;
    if (const int refused = RefuseFileClash({{"the recording", o.input}},
                                            {{"the converted copy", o.outputPath}}, err)) {
        return refused;
    }
    ImportOptions options;
    options.rate = o.rate;
    options.channel = o.channel;
    const ImportResult r = ImportSound(o.input, options);
    if (r.status == ImportStatus::Unreadable) {
        // The loader's own reason, as the program gives it for this file.
        SoundData probe;
        std::string refusal;
        if (probe.Load(o.input, refusal) == 0) refusal = "Could not read " + o.input;
        AfxMessageBox(refusal);
        return kCliFileError;
    }
    if (!r.ok()) {
        // autokey and convert say the same: what the file is, and why it does not convert.
        TellUser(ImportFailureMessages(r, FileNameOf(o.input), std::string()), err);
        return r.status == ImportStatus::BadOption ? kCliUsageError : kCliFileError;
    }
    std::string reason;
    if (!WriteWaveFile(o.outputPath, r.samples, r.rate, &reason)) {
        AfxMessageBox(CouldNotWriteMessage(o.outputPath, reason));
        return kCliFileError;
    }
    // Says when the recording ended before its header said it would.
    const std::string notice = EndsEarlyNotice(FileNameOf(o.input), r.info);
    if (!notice.empty()) err << "vokra-cli: " << notice << "\n";
    return kCliOk;
}

}  // namespace vokra
