// The document's file: making a new one, opening it (with its sound), saving it without losing
// what a damaged file held unread, and knowing when everything it stores is as last saved.
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "document/app_values.h"
#include "document/vok_file.h"
#include "document/vokra_doc.h"
#include "document/vokra_doc_common.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

// The process's current directory, stored as the last folder a document was opened or saved in.
void RememberCurrentDir() {
    std::vector<char> buf(PATH_MAX + 1);
    if (!::getcwd(buf.data(), buf.size())) return;
    g_currentDir = buf.data();
    Profile().WriteString(kDirectories, "VOKRADIR", g_currentDir);
}

}  // namespace

bool CVokraDoc::OnNewDocument() {
    const bool made = DocumentBase::OnNewDocument();
    RememberSavedFields();
    return made;
}

CVokraDoc::StoredFields CVokraDoc::StoredFieldsNow() const {
    return {frameRate, fpsPreset, customFps, soundDir, soundName, envDir, envName, script};
}

void CVokraDoc::SetScript(const DocumentScript& newScript) {
    if (newScript == script) return;
    script = newScript;
    SetModifiedFlag(true);
}

void CVokraDoc::RememberSavedFields() {
    if (!IsModified()) savedFields = StoredFieldsNow();
}

void CVokraDoc::SetModifiedFlag(bool modified) {
    DocumentBase::SetModifiedFlag(modified);
    RememberSavedFields();
}

bool CVokraDoc::OnOpenDocument(const std::string& path) {
    if (!DocumentBase::OnOpenDocument(path)) {
        RememberSavedFields();  // a refused file leaves a new document behind
        return false;
    }
    RememberCurrentDir();
    if (!soundName.empty()) {
        const std::string full = soundDir + "/" + soundName;
        // The pictures of the panes depend on the sound, which changes here.
        ++contentGeneration;
        // A sound that is not there any more (moved with its folder) is said once, by the box
        // below; one that is there but refused keeps the loader's reason before it.
        std::string refusal;
        const bool gone = !std::filesystem::exists(full);
        if ((gone ? g_sound.Load(full, refusal) : g_sound.Load(full)) != 0) {
            AfxMessageBox(
                Format("Vokra cannot locate the associated sound file:\n     %s\n"
                       "The keyframes will be loaded.\n"
                       "You may reload the sound file manually.",
                       full));
            g_maxAmplitude = 1.0;
        } else {
            ComputeMaxAmplitude(g_sound, kWindowsPerSecond);
        }
    }
    UpdateExtent();
    timeState.SetVisibleRange(timeState.GetExtentMin(), timeState.GetExtentMax());
    timeState.SetAnchor(-0.5);
    timeState.SetCursor(-0.5);
    RememberSavedFields();
    UpdateAllViews(nullptr, kHintAll);
    return true;
}

std::string CVokraDoc::LostOnSaveText(const std::string& lost) {
    return "The file this document was opened from holds " + lost +
           " that this version could not read. Saving now writes the document's own in their "
           "place, and those bytes are lost.";
}

bool CVokraDoc::RefusesOwnSound(const std::string& path) const {
    if (soundName.empty() || path.empty()) return false;
    const std::string sound = soundDir + "/" + soundName;
    const std::string full = FullPath(path);
    std::error_code ec;
    if (!std::filesystem::equivalent(full, sound, ec) || ec) return false;
    AfxMessageBox(
        Format("%s\nis the recording of this document.\n"
               "Writing over it would destroy the sound; choose another name.",
               full));
    return true;
}

bool CVokraDoc::OnSaveDocument(const std::string& path) {
    if (RefusesOwnSound(path)) return false;
    if (const std::string lost = LostOnSave(); !lost.empty() && !dropDamagedOnSave) {
        MessageRequest question;
        question.text = LostOnSaveText(lost) + "\n\nSave anyway?";
        question.buttons = MsgButtons::YesNo;
        question.icon = MsgIcon::Exclamation;
        question.acceptText = "Save";
        question.noText = "Don't Save";
        if (Messages().Show(question) != IDYES) return false;
    }
    if (!DocumentBase::OnSaveDocument(path)) return false;
    ForgetReplaced(*this, sectionKept);
    RememberSavedFields();
    RememberCurrentDir();
    return true;
}

void CVokraDoc::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        VokFile::Write(*this, ar);
    } else {
        VokFile::Read(*this, ar);
    }
}

}  // namespace vokra
