# The add-on's operators: File > Import > Vokra Keys and Vokra Shapes, and Key with Vokra in the
# Video Sequencer. Each one reads and checks everything first and changes the scene last, so a
# failure or Esc leaves the scene as it was; vokra-cli runs in the background (running.py).
import os
import re

import bpy
from bpy.props import BoolProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import curves, mouths, vokra_cli, vokra_data
from .running import Background, RateMismatch
from .vokra_data import MAX_BLENDER_FRAME, MouthCues, VokraDataError


def scene_rate(scene):
    return scene.render.fps / scene.render.fps_base


def set_scene_rate(scene, rate):
    scene.render.fps, scene.render.fps_base = vokra_data.blender_rate(rate)


def document_job(path):
    """A job step: the checked contents of a keys JSON, a mouth-cue JSON or (through vokra-cli
    export) a .vok."""
    path = bpy.path.abspath(path)
    name = os.path.basename(path)
    if path.lower().endswith(".vok"):
        vokra_data.check_regular_file(path)
        out = yield ["export", path, "--format", "json"]
        if not out.strip():
            raise VokraDataError(f"vokra-cli printed nothing for {name}.")
        data = vokra_data.parse_json_text(out, "vokra-cli's export of " + name)
    else:
        data = vokra_data.read_json_file(path)
    return vokra_data.parse_document(data, name)


class Held:
    """What a job works on, by name only: looked up again after every wait for vokra-cli, since
    an undo, a redo, a file load or a deletion in the meantime frees the data itself."""

    def __init__(self, op, context):
        self.op = op
        self.scene_name = context.scene.name
        obj = context.view_layer.objects.active
        self.object_key = None if obj is None else (
            obj.name, obj.library.filepath if obj.library is not None else None)
        self.strip_name = None

    def _gone(self, what):
        why = self.op.disturbed()
        how = f"{why} took it away" if why else "it was deleted or renamed"
        return VokraDataError(f"Vokra cancelled: {what} is gone ({how} while vokra-cli ran). "
                              "Nothing was changed; start again.")

    def scene(self):
        scene = bpy.data.scenes.get(self.scene_name)
        if scene is None:
            raise self._gone(f"the scene '{self.scene_name}'")
        return scene

    def object(self):
        if self.object_key is None:
            return None
        obj = bpy.data.objects.get(self.object_key)
        if obj is None:
            raise self._gone(f"the object '{self.object_key[0]}'")
        return obj

    def strip(self):
        if self.strip_name is None:
            return None
        editor = self.scene().sequence_editor
        strip = _strips(editor).get(self.strip_name) if editor is not None else None
        if strip is None or strip.type != 'SOUND' or strip.sound is None:
            raise self._gone(f"the sound strip '{self.strip_name}'")
        return strip


# The options the sidebar shows, and where it keeps them: on the active object's mouth mapping
# or on the scene. An operator takes them from there unless its caller set them, so what the
# sidebar shows is what every run uses.
SIDEBAR = {"ease_frames": ("mapping", "ease_frames"), "hold_frames": ("mapping", "hold_frames"),
           "bake_nla": ("mapping", "bake_nla"), "shape_key": ("mapping", "open_shape_key"),
           "shapes": ("scene", "vokra_shapes"), "text_file": ("scene", "vokra_script"),
           "language": ("scene", "vokra_language")}


def sidebar_home(context, option):
    """(the data the sidebar keeps `option` in, its property), or None when the active object
    has no mapping yet (reading one would add it to the object)."""
    where, prop = SIDEBAR[option]
    if where == "scene":
        return context.scene, prop
    obj = context.view_layer.objects.active
    if obj is None or "vokra_mapping" not in obj.keys():
        return None
    return obj.vokra_mapping, prop


def sidebar_value(context, option):
    home = sidebar_home(context, option)
    if home is None:
        return mouths.VokraMapping.bl_rna.properties[SIDEBAR[option][1]].default
    return getattr(*home)


class SidebarOptions:
    """Options left unset by the caller come from the sidebar; not remembered between calls."""

    def take_sidebar_options(self, context):
        props = self.properties
        known = props.bl_rna.properties
        for option in SIDEBAR:
            if option in known and not props.is_property_set(option):
                setattr(self, option, sidebar_value(context, option))
        self.take_target(context)

    def take_target(self, context):
        """A rig without shape keys takes its opening on a property."""
        obj = context.view_layer.objects.active
        if "target" in self.properties.bl_rna.properties and obj is not None and \
                not self.properties.is_property_set("target"):
            self.target = 'SHAPE_KEY' if obj.type in curves.SHAPE_KEY_TYPES else 'PROPERTY'

    def draw_option(self, context, layout, option):
        """In the file browser an option the caller left unset shows the sidebar's own."""
        home = sidebar_home(context, option) if option in SIDEBAR else None
        if home is not None and not self.properties.is_property_set(option):
            layout.prop(*home)
        else:
            layout.prop(self, option)


def _settable_properties(props):
    return {p.identifier: getattr(props, p.identifier) for p in props.bl_rna.properties
            if p.identifier != "rna_type" and not p.is_readonly}


TARGETS = [
    ('SHAPE_KEY', "Shape Key", "A shape key of the active mesh (made when missing)"),
    ('PROPERTY', "Property", "A custom property of the active object"),
]
FPS_MODES = [
    ('ASK', "Ask", "When the rates differ, import nothing and offer both choices"),
    ('RETIME', "Re-time Keys",
     "Keep the scene's rate: one key on each scene frame with Vokra's opening at that time"),
    ('KEEP', "Keep Frames", "Put Vokra's frame n on frame offset + n whatever the rates"),
]


class FileOptions(SidebarOptions, ImportHelper):  # before Background: only a .vok needs vokra-cli
    filename_ext = ".json"
    filter_glob: StringProperty(default="*.json;*.vok", options={'HIDDEN'})
    frame_offset: IntProperty(
        name="Frame Offset", description="The Blender frame of Vokra's frame 0", default=1,
        min=-MAX_BLENDER_FRAME, max=MAX_BLENDER_FRAME)
    set_scene_fps: BoolProperty(
        name="Set Scene Rate", description="Set the scene's frame rate to the document's",
        default=False)
    fps_mode: EnumProperty(
        name="Other Rate", items=FPS_MODES, default='ASK',
        description="What to do when the scene's frame rate differs from the document's")

    def timing(self, context, doc):
        """(the scene rate to re-time to, or None; the rate to give the scene, or None)."""
        rate = scene_rate(context.scene)
        if isinstance(doc, MouthCues):
            return rate, None  # cues are in seconds
        if vokra_data.same_rate(doc.frame_rate, rate):
            return None, None
        if self.set_scene_fps:
            return None, doc.frame_rate
        if self.fps_mode == 'RETIME':
            return rate, None
        if self.fps_mode == 'KEEP':
            return None, None
        raise RateMismatch(doc.frame_rate, rate)

    def invoke(self, context, event):
        if self.in_background:
            return self.run_in_background(context)
        self.browsed = True
        self.take_target(context)  # the file browser shows where the keys will go
        return ImportHelper.invoke(self, context, event)

    def needs_tool(self):
        return self.filepath.lower().endswith(".vok")

    def offer_rates(self, context, mismatch):
        """Says that the rates differ and, with a window, offers both ways on in a menu (a
        warning's own popup would cover that menu, so the status bar carries the text then)."""
        if bpy.app.background or not context.window_manager.windows:
            self.report({'WARNING'}, str(mismatch))
            return
        self.report({'INFO'}, str(mismatch))
        values, idname = _settable_properties(self.properties), self.bl_idname

        def draw(menu, _context):
            layout = menu.layout
            layout.operator_context = 'EXEC_DEFAULT'  # not the file browser again
            for label, name, value in (  # browsed: a .vok goes on in the background
                    (f"Set Scene to {mismatch.doc_rate:g} fps", "set_scene_fps", True),
                    (f"Re-time Keys to {mismatch.scene_rate:g} fps", "fps_mode", 'RETIME')):
                op = layout.operator(idname, text=label)
                for key, v in values.items():
                    setattr(op, key, v)
                setattr(op, name, value)
                op.browsed = True

        title = (f"The document runs at {mismatch.doc_rate:g} fps, the scene at "
                 f"{mismatch.scene_rate:g} fps")
        context.window_manager.popup_menu(draw, title=title, icon='QUESTION')

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        for name in self.option_names():
            self.draw_option(context, layout, name)


# Options the sidebar keeps are SKIP_SAVE: a value set once (in a script, or the file browser)
# must not outlive its run and silently differ from what the sidebar shows.
class TargetOptions:
    target: EnumProperty(name="Target", items=TARGETS, default='SHAPE_KEY',
                         options={'SKIP_SAVE'})
    shape_key: StringProperty(name="Shape Key", default="Vokra Open", options={'SKIP_SAVE'},
                              description="The shape key to animate (made when missing)")
    property_name: StringProperty(name="Property", default="vokra_open",
                                  description="The custom property to animate")


class MouthOptions:
    shape_key_pattern: StringProperty(
        name="Shape Key Names", default="",
        description="The mouths' shape keys, {} standing for the mouth's letter (mouth_{} for "
                    "mouth_A ... mouth_X); empty: the mapping kept with the object, else keys "
                    "named A-H, X or MBP, etc, E, AI, O, U, FV, L, rest")
    pose_action_pattern: StringProperty(
        name="Pose Action Names", default="",
        description="The actions holding the armature's pose of each mouth, {} standing for the "
                    "mouth's letter (pose_{} for pose_A ... pose_X); empty: the mapping kept "
                    "with the object")
    ease_frames: IntProperty(
        name="Ease", default=0, min=0, max=mouths.MAX_EASE_FRAMES, options={'SKIP_SAVE'},
        description="Frames over which a mouth eases into the next; 0 switches on the mouth's "
                    "own frame")
    hold_frames: IntProperty(
        name="Hold", default=0, min=0, max=mouths.MAX_EASE_FRAMES, options={'SKIP_SAVE'},
        description="Frames each mouth stays fully on before it eases into the next (when the "
                    "next one leaves time)")


class BakeOption:
    bake_nla: BoolProperty(
        name="Bake to NLA", default=False, options={'SKIP_SAVE'},
        description="Put the keys in an NLA strip of their own (replacing the strip an earlier "
                    "bake of the same sound made), to mix, mute or move them")

    def target_for(self, sound_or_file, obj):
        """Where the keys go; without NLA strips, the active actions of the object and its shape
        keys must be local, and a mouth's pose action is never written."""
        poses = mouths.pose_action_names(obj, getattr(self, "pose_action_pattern", ""))
        if not self.bake_nla:
            curves.check_actions((obj, getattr(obj.data, "shape_keys", None)), poses)
        name = os.path.splitext(os.path.basename(sound_or_file))[0]
        return curves.Target(f"Vokra {name}" if self.bake_nla else None, poses)


def shapes_report(text, rig):
    """The report of a run that keyed mouths: a warning that stays in sight when none of the
    nine mouths has anything to move."""
    text += f"; {rig.describe()}."
    return ('WARNING', text) if rig.empty() else text


class IMPORT_ANIM_OT_vokra_keys(FileOptions, TargetOptions, BakeOption, Background,
                                bpy.types.Operator):
    """Import Vokra's mouth-opening keys onto the active object"""
    bl_idname = "import_anim.vokra_keys"
    bl_label = "Import Vokra Keys"
    # No redo panel: a redo would run execute, and with it vokra-cli, in Blender's own thread.
    bl_options = {'UNDO'}
    activity = "reading the document"

    def option_names(self):
        name = "shape_key" if self.target == 'SHAPE_KEY' else "property_name"
        return ("target", name, "frame_offset", "set_scene_fps", "fps_mode", "bake_nla")

    def job(self, folder):
        held = Held(self, bpy.context)
        doc = yield from document_job(self.filepath)
        context = bpy.context
        name = os.path.basename(self.filepath)
        if isinstance(doc, MouthCues):
            raise VokraDataError(f"{name} holds mouth cues, not keys: import it with "
                                 "File > Import > Vokra Shapes.")
        if not doc.keys:
            raise VokraDataError(f"{name} holds no keys.")
        retime, new_rate = self.timing(context, doc)
        points = vokra_data.key_points(doc, self.frame_offset, retime)
        vokra_data.check_frames([points[0].frame, points[-1].frame], self.frame_offset)
        obj = held.object()
        curves.check_key_target(obj, self.target, self.shape_key, self.property_name)
        into = self.target_for(name, obj)
        if new_rate is not None:
            set_scene_rate(held.scene(), new_rate)
        where = curves.apply_keys(obj, self.target, self.shape_key, self.property_name, points,
                                  into)
        return f"Imported {len(points)} keys onto {where}{into.finish()}."


class IMPORT_ANIM_OT_vokra_shapes(FileOptions, MouthOptions, BakeOption, Background,
                                  bpy.types.Operator):
    """Import Vokra's mouth shapes onto the active object: the vokra_shape property (0-8 for
    A-H, X), and the shape keys or armature poses of the mouths"""
    bl_idname = "import_anim.vokra_shapes"
    bl_label = "Import Vokra Shapes"
    bl_options = {'UNDO'}  # no redo panel, as for the keys
    activity = "reading the document"

    def option_names(self):
        return ("frame_offset", "set_scene_fps", "fps_mode", "shape_key_pattern",
                "pose_action_pattern", "ease_frames", "hold_frames", "bake_nla")

    def job(self, folder):
        held = Held(self, bpy.context)
        # Checked before vokra-cli runs, and again after.
        mouths.check(held.object(), self.shape_key_pattern, self.pose_action_pattern)
        doc = yield from document_job(self.filepath)
        context = bpy.context
        name = os.path.basename(self.filepath)
        retime, new_rate = self.timing(context, doc)
        changes, last = vokra_data.shape_points(doc, self.frame_offset, retime)
        if not changes:
            raise VokraDataError(f"{name} holds no mouth shapes (guess them in Vokra, or with "
                                 "vokra-cli autokey --shapes).")
        obj = held.object()
        rig = mouths.check(obj, self.shape_key_pattern, self.pose_action_pattern)
        into = self.target_for(name, obj)
        if new_rate is not None:
            set_scene_rate(held.scene(), new_rate)
        mouths.apply(rig, changes, last, self.ease_frames, self.hold_frames, into)
        return shapes_report(f"Imported {len(changes)} shape changes onto {obj.name}"
                             f"{into.finish(last)}", rig)


def _strips(editor):
    return editor.strips_all if hasattr(editor, "strips_all") else editor.sequences_all


def sound_strip(context):
    """The active sound strip if it is selected, else the only selected sound strip."""
    editor = context.scene.sequence_editor
    if editor is None:
        return None
    active = editor.active_strip
    if active is not None and active.type == 'SOUND' and active.select:
        return active
    chosen = [s for s in _strips(editor) if s.type == 'SOUND' and s.select]
    return chosen[0] if len(chosen) == 1 else None


def strip_sound_file(strip, folder):
    sound = strip.sound
    if sound is None:
        raise VokraDataError(f"The strip '{strip.name}' has no sound.")
    if sound.packed_file is not None:
        # vokra-cli needs a file: a packed sound is written to this run's own folder.
        path = os.path.join(folder, "packed" + os.path.splitext(sound.filepath)[1])
        with open(path, "wb") as f:
            f.write(sound.packed_file.data)
        return path
    path = os.path.normpath(bpy.path.abspath(sound.filepath, library=sound.library))
    vokra_data.check_regular_file(path)
    return path


def add_sound_strip(scene, path, start):
    editor = scene.sequence_editor or scene.sequence_editor_create()
    strips = editor.strips if hasattr(editor, "strips") else editor.sequences
    used = [s.channel for s in _strips(editor)]
    channel = min(128, max(used, default=0) + 1)
    try:
        strip = strips.new_sound(os.path.basename(path), path, channel, int(start))
    except RuntimeError as e:
        raise VokraDataError(f"Blender cannot add {path} as a sound strip: {e}") from None
    for other in _strips(editor):
        other.select = other == strip
    editor.active_strip = strip
    return strip


# The last vokra-cli autokey result: {(its arguments and the stamps of its files): its JSON}.
_last_autokey = {}

# espeak-ng's voice names: en-us, de, zh-yue, sk ...; never an option.
_LANGUAGE = re.compile(r"^[A-Za-z][A-Za-z0-9_+-]{0,63}$")


def script_args(text_file, language, features):
    """vokra-cli's options for aligning to a script, checked; [] without a script."""
    if not text_file:
        return []
    path = os.path.abspath(bpy.path.abspath(text_file))
    vokra_data.check_regular_file(path)
    if not features.text:
        raise VokraDataError("This vokra-cli cannot follow a script (it has no --text option): "
                             "install a newer Vokra, or leave the script out.")
    if not _LANGUAGE.match(language.strip()):
        raise VokraDataError(f"\"{language}\" is not a language name: give an espeak-ng voice "
                             "such as en-us, de or fr.")
    return ["--text", path, "--language", language.strip()]


class SEQUENCER_OT_vokra_autokey(SidebarOptions, TargetOptions, MouthOptions, BakeOption,
                                 Background, bpy.types.Operator):
    """Key the active object from the selected sound strip (or a chosen sound file) with Vokra:
    mouth opening, and mouth shapes when vokra-cli can guess them"""
    bl_idname = "sequencer.vokra_autokey"
    bl_label = "Key with Vokra"
    bl_options = {'UNDO'}  # no redo panel: a redo would wait for vokra-cli in Blender's thread

    filepath: StringProperty(subtype='FILE_PATH', options={'SKIP_SAVE'},
                             description="A sound file to key instead of the selected strip")
    filter_sound: BoolProperty(default=True, options={'HIDDEN', 'SKIP_SAVE'})
    filter_folder: BoolProperty(default=True, options={'HIDDEN', 'SKIP_SAVE'})
    shapes: BoolProperty(name="Mouth Shapes", default=True, options={'SKIP_SAVE'},
                         description="Also guess mouth shapes when vokra-cli can")
    text_file: StringProperty(
        name="Script", subtype='FILE_PATH', options={'SKIP_SAVE'},
        description="A UTF-8 text file with the words spoken, for mouths that follow them "
                    "(empty: guessed from the sound alone)")
    language: StringProperty(name="Language", default="en-us", options={'SKIP_SAVE'},
                             description="The script's language, as an espeak-ng voice name "
                                         "(en-us, de, fr, ja ...)")

    def invoke(self, context, event):
        if self.in_background or self.filepath or sound_strip(context) is not None:
            return self.run_in_background(context)
        self.browsed = True
        context.window_manager.fileselect_add(self)
        return {'RUNNING_MODAL'}

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        for name in ("shapes", "text_file", "language", "ease_frames", "hold_frames",
                     "bake_nla"):
            self.draw_option(context, layout, name)

    def sound(self, held, folder):
        """(the sound file, the frame it starts on, whether it was packed), before any wait."""
        strip = None if self.filepath else sound_strip(bpy.context)
        if strip is not None:
            held.strip_name = strip.name
            packed = strip.sound is not None and strip.sound.packed_file is not None
            return strip_sound_file(strip, folder), strip.frame_start, packed
        if self.filepath:
            sound = os.path.abspath(bpy.path.abspath(self.filepath))
            vokra_data.check_regular_file(sound)
            return sound, held.scene().frame_current, False
        raise VokraDataError("Select a sound strip in the Video Sequencer, or choose a sound "
                             "file.")

    def job(self, folder):
        held = Held(self, bpy.context)
        rate = scene_rate(held.scene())
        if not vokra_data.MIN_RATE <= rate <= vokra_data.MAX_RATE:
            raise VokraDataError(f"Vokra keys 1 to 100 frames per second; the scene runs at "
                                 f"{rate:g}.")
        curves.check_key_target(held.object(), self.target, self.shape_key, self.property_name)
        sound, start, packed = self.sound(held, folder)
        name = os.path.basename(sound)
        self.activity = f"keying {name}"
        features = yield from vokra_cli.features_job(self._tool)
        script = script_args(self.text_file, self.language, features)
        with_shapes = (self.shapes or script) and features.shapes
        if with_shapes:
            mouths.check(held.object(), self.shape_key_pattern, self.pose_action_pattern)
        args = ["autokey", sound, "--fps", repr(rate), "--format", "json"]
        args += ["--shapes"] + script if with_shapes else []
        # Keying the same sound again with the same options takes the last run's keys instead
        # of making Blender wait for the tool.
        inputs = (tuple(args), vokra_cli.stamp(self._tool), vokra_cli.stamp(sound),
                  vokra_cli.stamp(script[1]) if script else None)
        data = _last_autokey.get(inputs)
        if data is None:
            out = os.path.join(folder, "keys.json")
            yield args + ["-o", out]
            if not os.path.isfile(out):
                raise VokraDataError("vokra-cli finished without writing any keys.")
            data = vokra_data.read_json_file(out)
            _last_autokey.clear()
            if not packed:  # a packed sound's file is new each run
                _last_autokey[inputs] = data
        doc = vokra_data.parse_document(data, name)
        if not doc.keys:
            raise VokraDataError(f"vokra-cli made no keys for {name}.")
        retime = None if vokra_data.same_rate(doc.frame_rate, rate) else rate
        points = vokra_data.key_points(doc, start, retime)
        vokra_data.check_frames([points[0].frame, points[-1].frame], start)
        changes, last = vokra_data.shape_points(doc, start, retime)
        # The scene may have changed while vokra-cli ran: everything is found and checked again.
        obj, strip = held.object(), held.strip()
        curves.check_key_target(obj, self.target, self.shape_key, self.property_name)
        rig = mouths.check(obj, self.shape_key_pattern, self.pose_action_pattern) \
            if changes else None
        into = self.target_for(name, obj)
        if strip is None:
            strip = add_sound_strip(held.scene(), sound, start)
        end = max(last, points[-1].frame, strip.frame_final_end)
        where = curves.apply_keys(obj, self.target, self.shape_key, self.property_name, points,
                                  into)
        message = f"Vokra keyed {name} at {rate:g} fps onto {where}"
        if not changes:
            return message + into.finish(end) + "."
        mouths.apply(rig, changes, last, self.ease_frames, self.hold_frames, into)
        return shapes_report(f"{message}, with {len(changes)} shape changes{into.finish(end)}",
                             rig)
