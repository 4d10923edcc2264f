#include "document/rig_settings.h"

#include <cctype>
#include <string>

#include "platform/ini_file.h"

namespace vokra {
namespace {

std::string Key(RigFormat format, const char* what) {
    std::string key = RigFormatInfo(format).name;
    for (char& c : key) c = c == '-' ? '_' : static_cast<char>(std::toupper(c));
    return key + "_" + what;
}

}  // namespace

RigExportOptions LoadRigOptions(RigFormat format) {
    RigExportOptions o;
    const IniFile& ini = Profile();
    const std::string map = ini.GetString(kRigExportSection, Key(format, "MOUTHS"));
    if (!map.empty()) {
        RigMapParse parsed = ParseRigMap(format, map);
        if (parsed.error.empty()) o.names = parsed.names;
    }
    const std::string target = ini.GetString(kRigExportSection, Key(format, "TARGET"));
    if (CheckRigTarget(format, target).empty()) o.target = target;
    const std::string method = ini.GetString(kRigExportSection, Key(format, "METHOD"));
    if (method.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") ==
            std::string::npos &&
        method.size() <= 128 &&
        (method.empty() || !std::isdigit(static_cast<unsigned char>(method[0])))) {
        o.method = method;
    }
    o.linear = ini.GetString(kRigExportSection, Key(format, "CURVE")) == "linear";
    if (const auto ease = RigEaseFromName(ini.GetString(kRigExportSection, "EASE"))) o.ease = *ease;
    const int fade = ini.GetInt(kRigExportSection, "FADE", o.fade);
    if (fade >= 1 && fade <= kMaxFadeFrames) o.fade = fade;
    if (const auto set = WeightSetFromName(ini.GetString(kRigExportSection, "WEIGHTS"))) {
        o.weights = *set;
    }
    return o;
}

bool SaveRigOptions(RigFormat format, const RigExportOptions& o) {
    IniFile& ini = Profile();
    bool ok = ini.WriteString(kRigExportSection, Key(format, "MOUTHS"),
                              o.names ? FormatRigMap(*o.names) : std::string());
    ok = ini.WriteString(kRigExportSection, Key(format, "TARGET"), o.target) && ok;
    ok = ini.WriteString(kRigExportSection, Key(format, "METHOD"), o.method) && ok;
    ok =
        ini.WriteString(kRigExportSection, Key(format, "CURVE"), o.linear ? "linear" : "stepped") &&
        ok;
    ok = ini.WriteString(kRigExportSection, "EASE", RigEaseName(o.ease)) && ok;
    ok = ini.WriteInt(kRigExportSection, "FADE", o.fade) && ok;
    ok = ini.WriteString(kRigExportSection, "WEIGHTS", WeightSetName(o.weights)) && ok;
    return ok;
}

}  // namespace vokra
