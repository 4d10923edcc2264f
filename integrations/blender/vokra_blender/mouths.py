# The nine mouths onto a rig: each mouth to a shape key of any name, or to a pose of an armature
# kept as an action (keyed on the rig's bones), named by a pattern such as "mouth_{}" or by the
# mapping kept with the object. check() finds and checks everything; apply() only writes.
import re

import bpy
from bpy.props import BoolProperty, IntProperty, StringProperty

from .curves import (_check_number_property, _property_path, _replace, action_fcurves,
                     check_local)
from .vokra_data import SHAPE_LETTERS, SHAPE_NAMES, VokraDataError, pattern_names, switch_points

SHAPE_PROPERTY = "vokra_shape"
MAX_EASE_FRAMES = 1000
_BONE_PATH = re.compile(r'^pose\.bones\["((?:[^"\\]|\\.)*)"\]')


def _mapping_annotations():
    fields = {
        "open_shape_key": StringProperty(
            name="Opening", default="Vokra Open",
            description="The shape key the mouth opening keys go to (made when missing)"),
        "ease_frames": IntProperty(
            name="Ease", default=0, min=0, max=MAX_EASE_FRAMES,
            description="Frames over which a mouth eases into the next; 0 switches on the "
                        "mouth's own frame"),
        "hold_frames": IntProperty(
            name="Hold", default=0, min=0, max=MAX_EASE_FRAMES,
            description="Frames each mouth stays fully on before it eases into the next (when "
                        "the next one leaves time)"),
        "bake_nla": BoolProperty(
            name="Bake to NLA", default=False,
            description="Put the imported mouths in a new NLA strip of their own, to mix, mute "
                        "or move them"),
        "prefix": StringProperty(name="Prefix", default="mouth_",
                                 description="The prefix of the Prefix preset for shape keys: "
                                             "mouth_ gives mouth_A ... mouth_X"),
        "pose_prefix": StringProperty(name="Prefix", default="pose_",
                                      description="The prefix of the Prefix preset for an "
                                                  "armature's pose actions: pose_ gives pose_A "
                                                  "... pose_X"),
    }
    for letter, name in zip(SHAPE_LETTERS, SHAPE_NAMES):
        fields["shape_" + letter] = StringProperty(
            name=letter, description=f"The shape key showing mouth {letter} ({name})")
        fields["pose_" + letter] = StringProperty(
            name=letter, description=f"The action holding the rig's pose of mouth {letter} "
                                     f"({name})")
    return fields


class VokraMapping(bpy.types.PropertyGroup):
    """Which shape key or pose shows each mouth, kept with the object."""
    __annotations__ = _mapping_annotations()


def stored_names(obj, kind):
    """{mouth: name} of the object's kept mapping, kind "shape" or "pose"; empty when unset."""
    if "vokra_mapping" not in obj.keys():
        return {}  # never set (reading it would add it to the object)
    mapping = obj.vokra_mapping
    names = {i: getattr(mapping, f"{kind}_{c}").strip() for i, c in enumerate(SHAPE_LETTERS)}
    return {i: n for i, n in names.items() if n}


def auto_shape_keys(key):
    """{mouth: key block} for shape keys named after the mouths, by letter (A-H, X) or by their
    Preston Blair names (MBP, etc, E, AI, O, U, FV, L, rest), in any case. 'E' is both a letter
    and a name; the naming most of the keys use decides."""
    blocks = {b.name.strip().lower(): b for b in key.key_blocks}
    by_letter = {i: blocks[c.lower()] for i, c in enumerate(SHAPE_LETTERS) if c.lower() in blocks}
    by_name = {i: blocks[n.lower()] for i, n in enumerate(SHAPE_NAMES) if n.lower() in blocks}
    return by_name if len(by_name) > len(by_letter) else by_letter


def _rest_value(path, index):
    """A bone channel's value in the rest pose, for mouths whose action leaves it out."""
    prop = path.rsplit(".", 1)[-1]
    if prop == "scale" or (prop == "rotation_quaternion" and index == 0) or \
            (prop == "rotation_axis_angle" and index == 2):
        return 1.0
    return 0.0


def bone_of(path):
    match = _BONE_PATH.match(path)
    return re.sub(r"\\(.)", r"\1", match.group(1)) if match else None


class Rig:
    """The checked targets of one shapes import onto `obj`."""

    def __init__(self, obj):
        self.obj = obj
        self.blocks = {}  # {mouth: shape key block}
        self.poses = {}  # {(data path, index): [value in each of the nine mouths]}
        self.pose_mouths = set()  # the mouths whose pose action was found
        self.missing = []  # names the mapping asks for that are not there

    def empty(self):
        return not self.blocks and not self.poses

    def describe(self):
        """How many mouths the keys reach, naming those they do not."""
        if self.obj.type == 'ARMATURE' and self.empty():
            return ("no mouth poses are mapped, so only the vokra_shape property was keyed: name "
                    "each mouth's pose action in the Vokra tab of the sidebar")
        parts = []
        if self.poses:
            parts.append(_reached(self.pose_mouths, "pose"))
        if self.blocks or not self.poses:
            parts.append(_reached(set(self.blocks), "shape key"))
        text = "; ".join(parts)
        if self.missing:
            shown = ", ".join(self.missing[:4]) + (" ..." if len(self.missing) > 4 else "")
            text += f" (not found: {shown})"
        if self.empty():
            text += (", so only the vokra_shape property was keyed: name shape keys A ... X (or "
                     "MBP ... rest), or map them in the Vokra tab of the sidebar")
        return text


def _reached(mouths, what):
    text = f"{len(mouths)} of the nine mouths have a {what}"
    lacking = [f"{letter} ({name})" for i, (letter, name) in
               enumerate(zip(SHAPE_LETTERS, SHAPE_NAMES)) if i not in mouths]
    if mouths and lacking:
        text += f" (none for {', '.join(lacking)})"
    return text


def pose_action_names(obj, pattern=""):
    """The names of the rig's mouth poses' actions (never to be keyed into), by the pattern
    when it is valid, else by the mapping kept with the rig."""
    if obj is None or obj.type != 'ARMATURE':
        return set()
    try:
        names = pattern_names(pattern, "pose action pattern") if pattern else {}
    except VokraDataError:
        names = {}
    return set((names or stored_names(obj, "pose")).values())


def _read_poses(rig, names):
    obj = rig.obj
    actions = {}
    for mouth, name in names.items():
        action = bpy.data.actions.get(name)
        if action is None:
            rig.missing.append(name)
        else:
            actions[mouth] = action
    if not actions:
        raise VokraDataError(f"None of the pose actions {names[min(names)]} ... "
                             f"{names[max(names)]} exists: keep one pose of {obj.name} per mouth "
                             "in an action of that name, or change the names.")
    channels = {}
    for mouth, action in actions.items():
        start = action.frame_range[0]
        for curve in action_fcurves(action):
            bone = bone_of(curve.data_path)
            if bone is None:
                continue  # the pose is the bones'; object channels are left alone
            if bone not in obj.pose.bones:
                raise VokraDataError(f"The action '{action.name}' keys the bone '{bone}', which "
                                     f"{obj.name} does not have.")
            channel = (curve.data_path, curve.array_index)
            channels.setdefault(channel, {})[mouth] = curve.evaluate(start)
    if not channels:
        raise VokraDataError(f"The pose actions of {obj.name} key none of its bones.")
    rig.pose_mouths = set(actions)
    rig.poses = {ch: [values.get(m, _rest_value(*ch)) for m in range(len(SHAPE_LETTERS))]
                 for ch, values in sorted(channels.items())}


def _find_blocks(rig, names):
    key = getattr(rig.obj.data, "shape_keys", None)
    blocks = key.key_blocks if key is not None else {}
    for mouth, name in names.items():
        if name in blocks:
            rig.blocks[mouth] = blocks[name]
        else:
            rig.missing.append(name)


def check(obj, shape_key_pattern="", pose_action_pattern=""):
    """The Rig for `obj`: the patterns when given, else the mapping kept with the object, else
    shape keys named after the mouths. Refuses linked data and names that match nothing."""
    if obj is None:
        raise VokraDataError("Select the object to key first (there is no active object).")
    check_local(obj)
    _check_number_property(obj, SHAPE_PROPERTY)
    rig = Rig(obj)
    if obj.type == 'ARMATURE':
        names = (pattern_names(pose_action_pattern, "pose action pattern")
                 if pose_action_pattern else stored_names(obj, "pose"))
        if names:
            _read_poses(rig, names)
    elif pose_action_pattern:
        raise VokraDataError(f"{obj.name} is not an armature: pose actions need the armature "
                             "selected.")
    key = getattr(obj.data, "shape_keys", None) if obj.data is not None else None
    if shape_key_pattern:
        _find_blocks(rig, pattern_names(shape_key_pattern, "shape key pattern"))
        if not rig.blocks:
            raise VokraDataError(f"{obj.name} has none of the shape keys "
                                 f"{', '.join(rig.missing[:3])} ...: check the pattern.")
    elif stored_names(obj, "shape"):
        _find_blocks(rig, stored_names(obj, "shape"))
    elif key is not None:
        rig.blocks = auto_shape_keys(key)
    if rig.blocks:
        check_local(obj.data, key)
    return rig


def apply(rig, changes, last, ease, hold, into):
    """Keys the shape property (0-8, stepped), and each mapped shape key and pose channel to its
    value in each mouth, switched or eased, through `into` (a curves.Target)."""
    obj, first = rig.obj, changes[0][0]
    # Sine ease-in-out depends on a segment's two keys only, so over each shared change every
    # channel moves by the same fraction: the mouths' weights always add up to 1.
    interpolation = 'SINE' if ease > 0 else 'CONSTANT'
    if SHAPE_PROPERTY not in obj.keys() or isinstance(obj[SHAPE_PROPERTY], float):
        obj[SHAPE_PROPERTY] = int(obj.get(SHAPE_PROPERTY, len(SHAPE_LETTERS) - 1))
    obj.id_properties_ui(SHAPE_PROPERTY).update(
        min=0, max=8, description="Mouth shape from Vokra: 0-8 are A-H and X")
    curve = into.curve(obj, _property_path(SHAPE_PROPERTY), first, "Vokra")
    _replace(curve, [(f, float(i), 'KEYFRAME') for f, i in changes], first, last, 'CONSTANT')
    for (path, index), values in rig.poses.items():
        points = switch_points(changes, values.__getitem__, ease, hold)
        curve = into.curve(obj, path, first, bone_of(path), index)
        _replace(curve, [(f, v, 'KEYFRAME') for f, v in points], first, last, interpolation)
    for mouth, block in rig.blocks.items():
        points = switch_points(changes, lambda m: 1.0 if m == mouth else 0.0, ease, hold)
        curve = into.curve(obj.data.shape_keys, block.path_from_id("value"), first,
                           "Vokra Mouths")
        _replace(curve, [(f, v, 'KEYFRAME') for f, v in points], first, last, interpolation)
