// The mouths as a Unity animation clip (.anim, YAML): a float curve `blendShape.NAME` per name of
// the map on a SkinnedMeshRenderer at the target path, weights 0-100 cross-faded as the weight
// curves are. Keys are kept only where a curve bends, with linear tangents, so the curve passes
// through every frame's weight.
#include <map>

#include "document/export/export_text.h"
#include "document/export/rig_writers.h"
#include "document/key_export.h"

namespace vokra {
namespace {

constexpr int kSkinnedMeshRenderer = 137;
constexpr int kLinearTangents = 69;  // both sides linear, "broken"

void AppendCurve(std::string& t, const std::string& blendShape, const std::vector<double>& v,
                 const RigMouths& m, const RigExportOptions& o) {
    const double dt = 1.0 / m.frameRate;
    t += "  - curve:\n      serializedVersion: 2\n      m_Curve:\n";
    const std::size_t n = v.size();
    for (std::size_t f = 0; f < n; ++f) {
        const double in = f > 0 ? (v[f] - v[f - 1]) / dt : 0.0;
        const double outSlope = f + 1 < n ? (v[f + 1] - v[f]) / dt : 0.0;
        // A key where the line bends; in between, the line through its neighbours is exact.
        if (f > 0 && f + 1 < n && v[f] - v[f - 1] == v[f + 1] - v[f]) continue;
        t += "      - serializedVersion: 3\n        time: ";
        AppendShortest(t, static_cast<float>(static_cast<double>(f) * dt));
        t += "\n        value: ";
        AppendShortest(t, static_cast<float>(v[f]));
        t += "\n        inSlope: ";
        AppendShortest(t, static_cast<float>(in));
        t += "\n        outSlope: ";
        AppendShortest(t, static_cast<float>(outSlope));
        t += "\n        tangentMode: ";
        AppendInt(t, kLinearTangents);
        t += "\n        weightedMode: 0\n        inWeight: 0.33333334\n        outWeight: "
             "0.33333334\n";
    }
    t += "      m_PreInfinity: 2\n      m_PostInfinity: 2\n      m_RotationOrder: 4\n";
    t += "    attribute: blendShape." + blendShape + "\n    path: " + o.target + "\n";
    t += "    classID: " + std::to_string(kSkinnedMeshRenderer) + "\n    script: {fileID: 0}\n";
}

}  // namespace

bool WriteUnityAnim(const RigMouths& m, const RigExportOptions& o, std::ostream& out) {
    // The weights of the nine mouths, 0-100, summed per blend shape (two mouths may share one).
    RigExportOptions nine = o;
    nine.weights = WeightSet::Mouths;
    const auto weights = RigWeights(m, nine);
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> curves;
    for (std::size_t i = 0; i < kMouthShapeCount; ++i) {
        const std::string& name = (*o.names)[i];
        auto [it, added] = curves.try_emplace(name, weights.size(), 0.0);
        if (added) order.push_back(name);
        for (std::size_t f = 0; f < weights.size(); ++f) it->second[f] += weights[f][i] * 100.0;
    }
    std::string curveText;
    for (const std::string& name : order) AppendCurve(curveText, name, curves[name], m, o);

    Chunks chunks(out);
    std::string& t = chunks.Text();
    t += "%YAML 1.1\n%TAG !u! tag:unity3d.com,2011:\n--- !u!74 &7400000\nAnimationClip:\n";
    t += "  m_ObjectHideFlags: 0\n  m_CorrespondingSourceObject: {fileID: 0}\n";
    t += "  m_PrefabInstance: {fileID: 0}\n  m_PrefabAsset: {fileID: 0}\n  m_Name: ";
    AppendJsonString(t, o.name);
    t += "\n  serializedVersion: 6\n  m_Legacy: 0\n  m_Compressed: 0\n  m_UseHighQualityCurve: 1\n";
    t += "  m_RotationCurves: []\n  m_CompressedRotationCurves: []\n  m_EulerCurves: []\n";
    t += "  m_PositionCurves: []\n  m_ScaleCurves: []\n  m_FloatCurves:\n";
    t += curveText;
    t += "  m_PPtrCurves: []\n  m_SampleRate: ";
    AppendShortest(t, static_cast<float>(m.frameRate));
    t += "\n  m_WrapMode: 0\n  m_Bounds:\n    m_Center: {x: 0, y: 0, z: 0}\n";
    t += "    m_Extent: {x: 0, y: 0, z: 0}\n  m_ClipBindingConstant:\n    genericBindings: []\n";
    t += "    pptrCurveMapping: []\n  m_AnimationClipSettings:\n    serializedVersion: 2\n";
    t += "    m_AdditiveReferencePoseClip: {fileID: 0}\n    m_AdditiveReferencePoseTime: 0\n";
    t += "    m_StartTime: 0\n    m_StopTime: ";
    AppendShortest(t, static_cast<float>(DurationOf(m)));
    t += "\n    m_OrientationOffsetY: 0\n    m_Level: 0\n    m_CycleOffset: 0\n";
    t += "    m_HasAdditiveReferencePose: 0\n    m_LoopTime: 0\n    m_LoopBlend: 0\n";
    t += "    m_LoopBlendOrientation: 0\n    m_LoopBlendPositionY: 0\n";
    t += "    m_LoopBlendPositionXZ: 0\n    m_KeepOriginalOrientation: 0\n";
    t += "    m_KeepOriginalPositionY: 1\n    m_KeepOriginalPositionXZ: 0\n";
    t += "    m_HeightFromFeet: 0\n    m_Mirror: 0\n  m_EditorCurves:\n";
    t += curveText;
    t += "  m_EulerEditorCurves: []\n  m_HasGenericRootTransform: 0\n";
    t += "  m_HasMotionFloatCurves: 0\n  m_Events: []";
    chunks.Line();
    return chunks.Finish();
}

}  // namespace vokra
