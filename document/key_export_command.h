#pragma once
// Writing a document's keys for other tools from the program: the File menu's export commands
// (a save dialog per format that starts in the folder last used for that format), the writing
// itself (replacing the old file only when the new one is complete, with the envelope's
// messages), and the mouth list of the switch data kept in the settings file.
#include <string>

#include "document/key_export.h"

namespace vokra {

class CVokraDoc;
class SoundData;

// The settings section of the exports; it holds nothing the envelope commands read.
constexpr const char* kExportSection = "EXPORT";

// The mouth list from the settings, the default list when there is none or it is unusable.
MouthBands LoadMouthBands();
// False when the settings file could not be written.
bool SaveMouthBands(const MouthBands& bands);

// The names of the nine mouth shapes in the switch data, from the settings; the Preston Blair
// names when there are none or they are unusable.
MouthShapeNames LoadMouthShapeNames();
// False when the settings file could not be written.
bool SaveMouthShapeNames(const MouthShapeNames& names);

// What the writers need of the document: its frame rate, its sound's full path, `mouths`, its
// shapes, and the shape names and the rig's mouths from the settings.
KeyExportInfo ExportInfoOf(const CVokraDoc& doc, const MouthBands& mouths);

// The document's script placed on its sound again, for the words of a Papagayo-NG project: none
// without a script, or when espeak-ng cannot read it (the project then holds the mouths alone).
void AddScriptWords(const CVokraDoc& doc, const SoundData& sound, KeyExportInfo& info);

// The keys in a format as one text (the clipboard's copy).
std::string KeysAsText(const CVokraDoc& doc, KeyFormat format, const MouthBands& mouths,
                       KeyExportNotes* notes = nullptr);

// Writes the keys to `path` (the envelope format included, without the envelope command's
// bookkeeping). On failure the envelope's messages are shown and an existing file keeps its
// contents; a sound path that had to be repaired for JSON is mentioned after the writing.
bool ExportKeysTo(const CVokraDoc& doc, KeyFormat format, const std::string& path,
                  const MouthBands& mouths);
// The same with everything the writers need given (vokra-cli's own shape names).
bool ExportKeysTo(const CVokraDoc& doc, KeyFormat format, const std::string& path,
                  const KeyExportInfo& info);

// The menu command: the save dialog for the format, then ExportKeysTo; the folder is remembered
// once the file is written. False when cancelled or failed.
bool OnExportKeys(const CVokraDoc& doc, KeyFormat format, const MouthBands& mouths);

// Why the mouth-cue formats refuse a document without shapes.
std::string NoShapesToExportMessage();

// The message shown (or printed) when a JSON file got U+FFFD in place of a path's bad bytes.
std::string SoundPathNotUtf8Note();

}  // namespace vokra
