#pragma once
// The steps vokra-cli's commands share (cli_runner.cpp), and the commands, each group in a file of
// its own: autokey (cli_autokey.cpp), export (cli_export.cpp), info (cli_info.cpp), convert
// (cli_convert.cpp), the mouth shapes, the hand edits of a document and AutoKey into an existing
// document (cli_shapes.cpp, cli_script.cpp); the help texts in cli_help.cpp.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "document/rig_export.h"
#include "palettes/auto_key.h"
#include "shapes/mouth_shape.h"
#include "shapes/shape_options.h"
#include "sound/load_recording.h"

namespace vokra {

class CVokraDoc;
struct CliOptions;

// The version, copyright and licence lines --version prints.
std::string CliVersionText();
// "voice.wav" of "/takes/voice.wav".
std::string FileNameOf(const std::string& path);
// A folder, a pipe, a device or an empty file given as a sound: says what it is; false.
bool RefuseNonSound(const std::string& path);
// Says what a recording's load or conversion must tell: refusals through the message service,
// notes as lines of standard error.
void TellUser(const std::vector<RecordingMessage>& messages, std::ostream& err);

// Prints the reason and the usage; the usage error's exit code.
int UsageError(std::ostream& err, const std::string& reason);
// A document with the settings' defaults (no settings file is read or written).
void ResetWithoutSettings(CVokraDoc& doc);
// Reads a document without the program's open steps (no sound is looked for). `writesBack`: the
// command saves it again, so a save of it stopped half-way may be undone first.
bool ReadDocument(CVokraDoc& doc, const std::string& path, bool writesBack = false);
// Loads o.input into g_sound, converting a recording the loader refuses in memory (or to a copy
// beside o.vokPath when one is given).
bool LoadAnySound(CVokraDoc& doc, const CliOptions& o, std::ostream& err);
// The frames --from and --to name on the document's timeline: 0, or a usage error's code after
// saying why they cannot be keyed.
int ChooseKeyRange(const CVokraDoc& doc, const CliOptions& o, std::ostream& err,
                   std::int32_t& first, std::int32_t& last);
// AutoKey over the frames --from and --to name, then the shapes there when --shapes asks (from the
// script when --text gives one), keeping hand-made keys and shapes unless `replaceHandEdits`
// (a line on standard error counts the keys kept): 0, or the exit code after saying why not.
int KeyChosenRange(CVokraDoc& doc, const CliOptions& o, bool replaceHandEdits, std::ostream& err);
// The AutoKey rows given on the command line.
AutoKeySettings AutoKeySettingsOf(const CliOptions& o);
// The keys in the chosen format to -o OUT or to standard output.
bool WriteKeysOutput(const CVokraDoc& doc, const CliOptions& o, std::ostream& out,
                     std::ostream& err);

// The commands of cli_autokey.cpp, cli_export.cpp, cli_info.cpp and cli_convert.cpp.
int RunAutoKey(const CliOptions& o, std::ostream& out, std::ostream& err);
int RunExport(const CliOptions& o, std::ostream& out, std::ostream& err);
int RunInfo(const CliOptions& o, std::ostream& out, std::ostream& err);
int RunConvert(const CliOptions& o, std::ostream& err);

// The commands of cli_shapes.cpp.
int RunShapes(const CliOptions& o, std::ostream& out, std::ostream& err);
int RunEdit(const CliOptions& o, std::ostream& out, std::ostream& err);
// vokra-cli live (cli_live.cpp): its arguments after the command, parsed there.
int RunLiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
std::string LiveHelp();
int RunAutoKeyUpdate(const CliOptions& o, std::ostream& out, std::ostream& err);
// Guesses the shapes of frames first..last of the sound in g_sound into the document, keeping
// hand-set shapes unless `replaceHandEdits`, as `options` ask; false (after saying why) when it
// cannot.
bool GuessDocumentShapes(CVokraDoc& doc, std::int32_t first, std::int32_t last,
                         bool replaceHandEdits, const ShapeOptions& options, std::ostream& err);

// The commands of cli_script.cpp: the 10 ms shapes of g_sound from the script of --text and
// --language, and the same put on frames first..last of the document (the script kept in it);
// 0, or the exit code after saying why not.
// With `words`, also the script's words where they were placed.
int ShapesFromScript(const CliOptions& o, std::vector<MouthShape>& per10ms, std::ostream& err,
                     std::vector<PlacedWord>* words = nullptr);
// Writes mouths in an engine or rig format as the options ask (-o, --into, the map and target);
// the exit code.
int WriteRigOutput(RigFormat format, const RigMouths& mouths, const CliOptions& o,
                   std::ostream& out, std::ostream& err);
int GuessDocumentShapesFromScript(CVokraDoc& doc, std::int32_t first, std::int32_t last,
                                  bool replaceHandEdits, const CliOptions& o, std::ostream& err);

}  // namespace vokra
