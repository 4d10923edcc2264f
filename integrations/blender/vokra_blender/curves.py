# Putting checked points on F-curves. Every check that can fail runs in the `check_*` functions,
# before the first change to the scene; the `apply_*` functions only write.
import bisect

import bpy

from .vokra_data import VokraDataError

SHAPE_KEY_TYPES = {'MESH', 'LATTICE', 'CURVE', 'SURFACE'}
# Blender's own ceiling for a shape key's slider.
SLIDER_CEILING = 10.0


def action_fcurves(action):
    """Every F-curve of an action: the plain list, or (layered actions of newer Blender
    versions) the curves of all its layers' channel bags."""
    if not getattr(action, "is_action_layered", False):
        return list(action.fcurves)
    return [c for layer in action.layers for strip in layer.strips
            for bag in getattr(strip, "channelbags", ()) for c in bag.fcurves]


def _find_fcurve(id_data, path, index=0):
    anim = id_data.animation_data
    if anim is None or anim.action is None:
        return None
    action = anim.action
    if not getattr(action, "is_action_layered", False):
        return action.fcurves.find(path, index=index)
    from bpy_extras import anim_utils  # layered actions, where the legacy list is gone
    bag = anim_utils.action_get_channelbag_for_slot(action, anim.action_slot)
    return bag.fcurves.find(path, index=index) if bag else None


def _fcurve(id_data, path, frame, group, index=0):
    """The F-curve animating `path` of `id_data`, made by inserting a key when there is none: that
    creates the action (and its slot, in newer Blender versions) the way Blender itself does."""
    curve = _find_fcurve(id_data, path, index)
    if curve is None:
        # Blender takes an index only for an array (a bone's location, not a custom property).
        whole = -1 if index == 0 and not hasattr(id_data.path_resolve(path), "__len__") else index
        id_data.keyframe_insert(path, index=whole, frame=frame, group=group)
        curve = _find_fcurve(id_data, path, index)
    return curve


class Target:
    """Where one import writes its curves: each data-block's active action, or with `strip_name`
    one new action per data-block, laid in an NLA track of that name (to mix, mute or move the
    line as a whole). An active action named in `pose_actions` (a mouth's pose) is never
    written: the keys go to an action of the rig's own instead."""

    def __init__(self, strip_name=None, pose_actions=()):
        self.name = strip_name
        self.pose_actions = set(pose_actions)
        self.actions = {}  # the data-block's pointer: (data-block, its new action)
        self.moved = []  # (the pose action that was active, the action keyed instead)

    def curve(self, id_data, path, frame, group, index=0):
        if self.name is None:
            self._leave_pose_action(id_data)
            return _fcurve(id_data, path, frame, group, index)
        pointer = id_data.as_pointer()
        if pointer not in self.actions:
            self.actions[pointer] = (id_data, bpy.data.actions.new(self.name))
        action = self.actions[pointer][1]
        action.id_root = id_data.bl_rna.identifier.upper()
        if hasattr(action, "fcurve_ensure_for_datablock"):  # layered actions
            return action.fcurve_ensure_for_datablock(id_data, path, index=index,
                                                      group_name=group)
        return action.fcurves.find(path, index=index) or action.fcurves.new(
            path, index=index, action_group=group)

    def _leave_pose_action(self, id_data):
        anim = id_data.animation_data
        if anim is None or anim.action is None or anim.action.name not in self.pose_actions:
            return
        name = f"{id_data.name} Lip Sync"  # found again by the next import
        own = next((a for a in bpy.data.actions if a.name == name and a.library is None), None)
        if own is None:
            own = bpy.data.actions.new(name)
        self.moved.append((anim.action.name, own.name))
        anim.action = own

    def finish(self, end=None):
        """Lays each new action in its NLA track, from the action's first key to `end` (the end
        of the sound: the last mouth is held that long), so each key plays on its own frame. A
        track of the same name from an earlier import is replaced, its actions removed when
        nothing else uses them. Returns the report's words for them."""
        for id_data, action in self.actions.values():
            first, last = action.frame_range
            if end is not None and end > last:
                for curve in action_fcurves(action):
                    held = curve.keyframe_points[-1].co.y
                    curve.keyframe_points.insert(end, held, options={'FAST'})
                    curve.update()
            anim = id_data.animation_data or id_data.animation_data_create()
            track = anim.nla_tracks.get(self.name)
            if track is None:
                track = anim.nla_tracks.new()
                track.name = self.name
            else:
                replaced = [s.action for s in track.strips if s.action is not None]
                for strip in list(track.strips):
                    track.strips.remove(strip)
                for old in replaced:
                    if old.users == 0:
                        bpy.data.actions.remove(old)
                action.name = self.name  # the name the replaced action held
            strip = track.strips.new(self.name, int(first), action)
            if first != int(first) and hasattr(strip, "frame_start_ui"):
                strip.frame_start_ui = first  # a strip between frames keeps its keys' frames
            strip.extrapolation = 'NOTHING'  # outside the line the rig is left to other strips
            if getattr(strip, "action_slot", None) is None and getattr(action, "slots", None):
                strip.action_slot = action.slots[0]
        words = f" in NLA tracks \"{self.name}\"" if self.actions else ""
        for pose, own in self.moved:
            words += (f" (the active action '{pose}' is a mouth pose and was left as it was: the "
                      f"keys went into '{own}')")
        return words


# What a key carries, for moving a kept key to another slot.
KEY_ATTRIBUTES = ("co", "handle_left", "handle_right", "handle_left_type", "handle_right_type",
                  "interpolation", "easing", "type", "back", "amplitude", "period",
                  "select_control_point", "select_left_handle", "select_right_handle")


def _move_key(keys, source, target):
    for name in KEY_ATTRIBUTES:
        setattr(keys[target], name, getattr(keys[source], name))


def _replace(curve, points, first, last, interpolation):
    """Puts `points` [(frame, value, keyframe type)] on `curve` in place of its keys from frame
    `first` to `last`; keys outside that range stay. The keys are written in frame order into
    the replaced keys' slots, moving only the keys after the range: Blender sorts a curve by
    swapping neighbours, and removing a key from the middle moves every later one, either of
    which made re-importing 100,000 keys take minutes."""
    # Eased keys get flat handles at each held pose; the others a straight or stepped line.
    handles = 'AUTO_CLAMPED' if interpolation in ('BEZIER', 'SINE') else 'VECTOR'
    easing = 'EASE_IN_OUT' if interpolation == 'SINE' else 'AUTO'
    keys = curve.keyframe_points
    co = [0.0] * (2 * len(keys))
    keys.foreach_get("co", co)
    frames = co[0::2]
    if any(a > b for a, b in zip(frames, frames[1:])):
        curve.update()  # a script left the keys out of order
        keys.foreach_get("co", co)
        frames = co[0::2]
    count = len(frames)
    begin = bisect.bisect_left(frames, first - 1e-4)
    end = bisect.bisect_right(frames, last + 1e-4)
    shift = len(points) - (end - begin)
    if shift > 0:
        keys.add(shift)
        for i in range(count - 1, end - 1, -1):
            _move_key(keys, i, i + shift)
    elif shift < 0:
        for i in range(end, count):
            _move_key(keys, i, i + shift)
        for i in range(count - 1, count + shift - 1, -1):
            keys.remove(keys[i], fast=True)
    co = [0.0] * (2 * len(keys))
    keys.foreach_get("co", co)
    for n, (frame, value, _kind) in enumerate(points):
        co[2 * (begin + n)] = frame
        co[2 * (begin + n) + 1] = value
    keys.foreach_set("co", co)
    for n, (_frame, _value, kind) in enumerate(points):
        key = keys[begin + n]
        key.interpolation = interpolation
        key.type = kind
        key.easing = easing
        key.handle_left_type = key.handle_right_type = handles
    # Vokra holds the last opening after the last key.
    curve.extrapolation = 'CONSTANT'
    curve.update()  # places the handles


def _property_path(name):
    return '["%s"]' % bpy.utils.escape_identifier(name)


def _check_number_property(obj, name):
    if not name:
        raise VokraDataError("Name a property to key.")
    if name in obj.keys():
        value = obj[name]
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise VokraDataError(f"The property '{name}' of {obj.name} holds something other "
                                 "than a number.")


def _kind(id_data):
    return id_data.bl_rna.identifier.lower()


def _named(id_data):
    if isinstance(id_data, bpy.types.Object):  # "the armature object 'Rig'"
        return f"The {id_data.type.lower()} object '{id_data.name}' is"
    if isinstance(id_data, bpy.types.Key):
        return f"The shape keys '{id_data.name}' of the {_kind(id_data.user)} " \
               f"'{id_data.user.name}' are"
    return f"The {_kind(id_data)} '{id_data.name}' is"


def check_local(*ids):
    """Refuses data linked from another file: keys put on it would be gone after saving."""
    for id_data in ids:
        if id_data is not None and id_data.library is not None:
            raise VokraDataError(
                f"{_named(id_data)} linked from the library {id_data.library.filepath}: make it "
                "local (Object > Relations > Make Local) or key it in its own file.")


def check_actions(ids, pose_actions=()):
    """Refuses keys into an active action linked from another file (a local rig can use one); a
    mouth's pose action is left for one of the rig's own."""
    for id_data in ids:
        anim = getattr(id_data, "animation_data", None) if id_data is not None else None
        action = anim.action if anim is not None else None
        if action is not None and action.name not in pose_actions:
            check_local(action)


def check_key_target(obj, target, shape_key, property_name):
    """Refuses a target the keys cannot go to, before anything is changed."""
    if obj is None:
        raise VokraDataError("Select the object to key first (there is no active object).")
    if target == 'SHAPE_KEY':
        if obj.type not in SHAPE_KEY_TYPES:
            kind = obj.type.lower()
            article = "an" if kind[0] in "aeiou" else "a"
            raise VokraDataError(f"{obj.name} is {article} {kind} and has no shape keys: "
                                 "pick a mesh, or key a property instead.")
        if not shape_key:
            raise VokraDataError("Name the shape key to key.")
        if obj.mode == 'EDIT':
            raise VokraDataError("Leave Edit Mode first: shape keys are made in Object Mode.")
        key = obj.data.shape_keys
        check_local(obj, obj.data, key)
        if (key is None or shape_key not in key.key_blocks) and \
                obj.data.override_library is not None:
            raise VokraDataError(f"The {_kind(obj.data)} '{obj.data.name}' is a library "
                                 f"override: the shape key '{shape_key}' cannot be added to it.")
    else:
        check_local(obj)
        _check_number_property(obj, property_name)


def apply_keys(obj, target, shape_key, property_name, points, into):
    """Writes the opening keys with linear interpolation through `into` (a Target); returns
    where they went, for the report."""
    first, last = points[0].frame, points[-1].frame
    triples = [(p.frame, p.value, p.kind) for p in points]
    top = max(p.value for p in points)
    if target == 'SHAPE_KEY':
        if obj.data.shape_keys is None:
            obj.shape_key_add(name="Basis", from_mix=False)
        block = obj.data.shape_keys.key_blocks.get(shape_key)
        if block is None:
            block = obj.shape_key_add(name=shape_key, from_mix=False)
        if top > block.slider_max:
            block.slider_max = min(SLIDER_CEILING, top)
        key = obj.data.shape_keys
        curve = into.curve(key, block.path_from_id("value"), first, "Vokra")
        _replace(curve, triples, first, last, 'LINEAR')
        return f"{obj.name}'s shape key '{block.name}'"
    if property_name not in obj.keys() or isinstance(obj[property_name], int):
        obj[property_name] = float(obj.get(property_name, 0.0))
    ui = obj.id_properties_ui(property_name)
    ui.update(min=0.0, max=2.0, soft_min=0.0, soft_max=max(1.0, top),
              description="Mouth opening from Vokra (1.0 is 100 %)")
    curve = into.curve(obj, _property_path(property_name), first, "Vokra")
    _replace(curve, triples, first, last, 'LINEAR')
    return f"{obj.name}'s property '{property_name}'"
