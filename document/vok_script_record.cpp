// The section's record of the line's script ("SCRP"), laid out as script_record.h says.
#include "document/script_record.h"
#include "document/vok_records.h"
#include "document/vokra_doc.h"

namespace vokra {
namespace {

std::string WriteScript(const CVokraDoc& doc) {
    return doc.GetScript().IsEmpty() ? std::string() : WriteScriptRecord(doc.GetScript());
}

bool ReadScript(std::string_view payload, CVokraDoc& doc) {
    // An empty record stands before a kept damaged one of its kind: no script, nothing damaged.
    if (payload.empty()) {
        doc.LoadScript({});
        return true;
    }
    DocumentScript script;
    if (!ReadScriptRecord(payload, script)) return false;
    doc.LoadScript(std::move(script));
    return true;
}

}  // namespace

const VokRecordKind kScriptRecord{kScriptTag, "script", WriteScript, ReadScript};

}  // namespace vokra
