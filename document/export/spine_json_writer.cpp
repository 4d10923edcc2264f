// The mouths as a Spine animation: an attachment timeline of one slot, an attachment name at
// every change of mouth. Alone it is the "animations" part of a skeleton; merged, a copy of the
// user's skeleton JSON with the animation added (the skeleton itself is never written here).
#include <nlohmann/json.hpp>

#include "document/export/export_text.h"
#include "document/export/rig_writers.h"
#include "document/key_export.h"

namespace vokra {
namespace {

using Json = nlohmann::ordered_json;

// Skeletons nest a few levels deep; a text nested far deeper is refused before it is parsed, so
// no recursion over it can run out of stack.
constexpr int kMaxDepth = 200;

bool NestsTooDeep(std::string_view text) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > kMaxDepth) return true;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return false;
}

Json Timeline(const RigMouths& m, const RigExportOptions& o) {
    Json keys = Json::array();
    for (const MouthChange& change : MouthChanges(m.frames, *o.names)) {
        Json key = Json::object();
        key["time"] = static_cast<double>(change.frame) / m.frameRate;
        key["name"] = NameOf(o, change.shape);
        keys.push_back(std::move(key));
    }
    Json slot = Json::object();
    slot["attachment"] = std::move(keys);
    Json slots = Json::object();
    slots[o.target] = std::move(slot);
    Json animation = Json::object();
    animation["slots"] = std::move(slots);
    return animation;
}

}  // namespace

bool WriteSpineJson(const RigMouths& m, const RigExportOptions& o, std::ostream& out) {
    Json root = Json::object();
    root["animations"][o.name] = Timeline(m, o);
    const std::string text = root.dump(2) + "\n";
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out);
}

SpineMerge MergeSpineAnimation(std::string_view skeleton, const RigMouths& mouths,
                               const RigExportOptions& options) {
    SpineMerge r;
    RigExportOptions o = options;
    if (!o.names) o.names = DefaultRigNames(RigFormat::SpineJson);
    if (o.target.empty()) o.target = DefaultRigTarget(RigFormat::SpineJson);
    if (o.name.empty()) o.name = "lipsync";
    if (NestsTooDeep(skeleton)) {
        r.error = "the skeleton is nested deeper than " + std::to_string(kMaxDepth) + " levels";
        return r;
    }
    Json root = Json::parse(skeleton.begin(), skeleton.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        r.error = "the skeleton is not a JSON object (is it a Spine skeleton exported as JSON?)";
        return r;
    }
    const auto slots = root.find("slots");
    if (!root.contains("skeleton") || slots == root.end() || !slots->is_array()) {
        r.error = "the JSON is not a Spine skeleton: it has no \"skeleton\" and \"slots\"";
        return r;
    }
    bool found = false;
    std::string names;
    for (const Json& slot : *slots) {
        const auto name = slot.find("name");
        if (name == slot.end() || !name->is_string()) continue;
        found = found || name->get<std::string>() == o.target;
        if (names.size() < 200) names += (names.empty() ? "" : ", ") + name->get<std::string>();
    }
    if (!found) {
        r.error = "the skeleton has no slot '" + o.target + "' (its slots: " + names +
                  "); --target names the mouth's slot";
        return r;
    }
    Json& animations = root["animations"];
    if (animations.is_null()) animations = Json::object();
    if (!animations.is_object()) {
        r.error = "the skeleton's \"animations\" is not a JSON object";
        return r;
    }
    if (animations.contains(o.name)) {
        r.error = "the skeleton already has an animation '" + o.name +
                  "'; choose another name with --name";
        return r;
    }
    animations[o.name] = Timeline(mouths, o);
    r.text = root.dump(2) + "\n";
    return r;
}

}  // namespace vokra
