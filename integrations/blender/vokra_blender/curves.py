# Putting checked points on F-curves. Every check that can fail runs in the `check_*` functions,
# before the first change to the scene; the `apply_*` functions only write.
import bisect

import bpy

from .vokra_data import SHAPE_LETTERS, SHAPE_NAMES, VokraDataError

SHAPE_KEY_TYPES = {'MESH', 'LATTICE', 'CURVE', 'SURFACE'}
SHAPE_PROPERTY = "vokra_shape"
# Blender's own ceiling for a shape key's slider.
SLIDER_CEILING = 10.0


def _find_fcurve(id_data, path):
    anim = id_data.animation_data
    if anim is None or anim.action is None:
        return None
    action = anim.action
    if hasattr(action, "fcurves"):
        return action.fcurves.find(path)
    from bpy_extras import anim_utils  # layered actions, where the legacy list is gone
    bag = anim_utils.action_get_channelbag_for_slot(action, anim.action_slot)
    return bag.fcurves.find(path) if bag else None


def _fcurve(id_data, path, frame, group):
    """The F-curve animating `path` of `id_data`, made by inserting a key when there is none: that
    creates the action (and its slot, in newer Blender versions) the way Blender itself does."""
    curve = _find_fcurve(id_data, path)
    if curve is None:
        id_data.keyframe_insert(path, frame=frame, group=group)
        curve = _find_fcurve(id_data, path)
    return curve


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
        key.easing = 'AUTO'
        key.handle_left_type = key.handle_right_type = 'VECTOR'
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


def check_key_target(obj, target, shape_key, property_name):
    """Refuses a target the keys cannot go to, before anything is changed."""
    if obj is None:
        raise VokraDataError("Select the object to key first (there is no active object).")
    if obj.library is not None or (obj.data is not None and obj.data.library is not None):
        raise VokraDataError(f"{obj.name} is linked from a library and cannot be keyed.")
    if target == 'SHAPE_KEY':
        if obj.type not in SHAPE_KEY_TYPES:
            raise VokraDataError(f"{obj.name} is a {obj.type.lower()} and has no shape keys: "
                                 "pick a mesh, or key a property instead.")
        if not shape_key:
            raise VokraDataError("Name the shape key to key.")
        if obj.mode == 'EDIT':
            raise VokraDataError("Leave Edit Mode first: shape keys are made in Object Mode.")
    else:
        _check_number_property(obj, property_name)


def apply_keys(obj, target, shape_key, property_name, points):
    """Writes the opening keys with linear interpolation; returns where they went, for the report."""
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
        curve = _fcurve(key, block.path_from_id("value"), first, "Vokra")
        _replace(curve, triples, first, last, 'LINEAR')
        return f"{obj.name}'s shape key '{block.name}'"
    if property_name not in obj.keys() or isinstance(obj[property_name], int):
        obj[property_name] = float(obj.get(property_name, 0.0))
    ui = obj.id_properties_ui(property_name)
    ui.update(min=0.0, max=2.0, soft_min=0.0, soft_max=max(1.0, top),
              description="Mouth opening from Vokra (1.0 is 100 %)")
    curve = _fcurve(obj, _property_path(property_name), first, "Vokra")
    _replace(curve, triples, first, last, 'LINEAR')
    return f"{obj.name}'s property '{property_name}'"


def mouth_shape_keys(obj):
    """{shape index: key block} for the mesh's shape keys named after the mouths, by letter
    (A-H, X) or by their Preston Blair names (MBP, etc, E, AI, O, U, FV, L, rest), in any case.
    'E' is both a letter and a name; the naming most of the keys use decides."""
    shape_keys = getattr(obj.data, "shape_keys", None) if obj.data is not None else None
    if shape_keys is None:
        return {}
    blocks = {b.name.strip().lower(): b for b in shape_keys.key_blocks}
    by_letter = {i: blocks[c.lower()] for i, c in enumerate(SHAPE_LETTERS) if c.lower() in blocks}
    by_name = {i: blocks[n.lower()] for i, n in enumerate(SHAPE_NAMES) if n.lower() in blocks}
    return by_name if len(by_name) > len(by_letter) else by_letter


def check_shape_target(obj):
    if obj is None:
        raise VokraDataError("Select the object to key first (there is no active object).")
    if obj.library is not None:
        raise VokraDataError(f"{obj.name} is linked from a library and cannot be keyed.")
    _check_number_property(obj, SHAPE_PROPERTY)


def apply_shapes(obj, changes, last):
    """Keys the shape property (0-8) and switches the mouth shape keys, all with constant
    interpolation; returns how many of the nine mouths have a shape key."""
    first = changes[0][0]
    if SHAPE_PROPERTY not in obj.keys() or isinstance(obj[SHAPE_PROPERTY], float):
        obj[SHAPE_PROPERTY] = int(obj.get(SHAPE_PROPERTY, len(SHAPE_LETTERS) - 1))
    obj.id_properties_ui(SHAPE_PROPERTY).update(
        min=0, max=8, description="Mouth shape from Vokra: 0-8 are A-H and X")
    curve = _fcurve(obj, _property_path(SHAPE_PROPERTY), first, "Vokra")
    _replace(curve, [(f, float(i), 'KEYFRAME') for f, i in changes], first, last, 'CONSTANT')
    mouths = mouth_shape_keys(obj)
    for index, block in mouths.items():
        # Every mouth key is set at the start of the range, then wherever it turns on or off.
        points = [(first, 1.0 if changes[0][1] == index else 0.0, 'KEYFRAME')]
        for (frame, now), (_f, before) in zip(changes[1:], changes):
            if now == index or before == index:
                points.append((frame, 1.0 if now == index else 0.0, 'KEYFRAME'))
        curve = _fcurve(obj.data.shape_keys, block.path_from_id("value"), first, "Vokra Mouths")
        _replace(curve, points, first, last, 'CONSTANT')
    return len(mouths)
