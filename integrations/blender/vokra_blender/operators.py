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


class FileOptions(ImportHelper):  # before Background: only a .vok needs vokra-cli
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
            layout.prop(self, name)


class TargetOptions:
    target: EnumProperty(name="Target", items=TARGETS, default='SHAPE_KEY')
    shape_key: StringProperty(name="Shape Key", default="Vokra Open",
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
        name="Ease", default=0, min=0, max=mouths.MAX_EASE_FRAMES,
        description="Frames over which a mouth eases into the next; 0 switches on the mouth's "
                    "own frame")
    hold_frames: IntProperty(
        name="Hold", default=0, min=0, max=mouths.MAX_EASE_FRAMES,
        description="Frames each mouth stays fully on before it eases into the next (when the "
                    "next one leaves time)")


class BakeOption:
    bake_nla: BoolProperty(
        name="Bake to NLA", default=False,
        description="Put the keys in a new NLA strip of their own, to mix, mute or move them")

    def target_for(self, sound_or_file, *ids):
        """Where the keys go; without NLA strips, the active actions of `ids` must be local."""
        if not self.bake_nla:
            curves.check_actions(*ids)
        name = os.path.splitext(os.path.basename(sound_or_file))[0]
        return curves.Target(f"Vokra {name}" if self.bake_nla else None)


def _report_target(obj):
    try:
        obj.name
    except ReferenceError:
        raise VokraDataError("The object to key was deleted while vokra-cli ran.") from None
    return obj


class IMPORT_ANIM_OT_vokra_keys(FileOptions, TargetOptions, BakeOption, Background,
                                bpy.types.Operator):
    """Import Vokra's mouth-opening keys onto the active object"""
    bl_idname = "import_anim.vokra_keys"
    bl_label = "Import Vokra Keys"
    bl_options = {'REGISTER', 'UNDO'}
    activity = "reading the document"

    def option_names(self):
        name = "shape_key" if self.target == 'SHAPE_KEY' else "property_name"
        return ("target", name, "frame_offset", "set_scene_fps", "fps_mode", "bake_nla")

    def job(self, folder):
        context = bpy.context
        obj = context.view_layer.objects.active
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
        obj = _report_target(obj)
        curves.check_key_target(obj, self.target, self.shape_key, self.property_name)
        into = self.target_for(name, obj, getattr(obj.data, "shape_keys", None))
        if new_rate is not None:
            set_scene_rate(context.scene, new_rate)
        where = curves.apply_keys(obj, self.target, self.shape_key, self.property_name, points,
                                  into)
        return f"Imported {len(points)} keys onto {where}{into.finish()}."


class IMPORT_ANIM_OT_vokra_shapes(FileOptions, MouthOptions, BakeOption, Background,
                                  bpy.types.Operator):
    """Import Vokra's mouth shapes onto the active object: the vokra_shape property (0-8 for
    A-H, X), and the shape keys or armature poses of the mouths"""
    bl_idname = "import_anim.vokra_shapes"
    bl_label = "Import Vokra Shapes"
    bl_options = {'REGISTER', 'UNDO'}
    activity = "reading the document"

    def option_names(self):
        return ("frame_offset", "set_scene_fps", "fps_mode", "shape_key_pattern",
                "pose_action_pattern", "ease_frames", "hold_frames", "bake_nla")

    def job(self, folder):
        obj = bpy.context.view_layer.objects.active
        mouths.check(obj, self.shape_key_pattern, self.pose_action_pattern)  # before vokra-cli
        doc = yield from document_job(self.filepath)
        context = bpy.context
        name = os.path.basename(self.filepath)
        retime, new_rate = self.timing(context, doc)
        changes, last = vokra_data.shape_points(doc, self.frame_offset, retime)
        if not changes:
            raise VokraDataError(f"{name} holds no mouth shapes (guess them in Vokra, or with "
                                 "vokra-cli autokey --shapes).")
        rig = mouths.check(_report_target(obj), self.shape_key_pattern, self.pose_action_pattern)
        into = self.target_for(name, obj, getattr(obj.data, "shape_keys", None))
        if new_rate is not None:
            set_scene_rate(context.scene, new_rate)
        mouths.apply(rig, changes, last, self.ease_frames, self.hold_frames, into)
        return (f"Imported {len(changes)} shape changes onto {obj.name}"
                f"{into.finish()}; {rig.describe()}.")


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


class SEQUENCER_OT_vokra_autokey(TargetOptions, MouthOptions, BakeOption, Background,
                                 bpy.types.Operator):
    """Key the active object from the selected sound strip (or a chosen sound file) with Vokra:
    mouth opening, and mouth shapes when vokra-cli can guess them"""
    bl_idname = "sequencer.vokra_autokey"
    bl_label = "Key with Vokra"
    bl_options = {'REGISTER', 'UNDO'}

    filepath: StringProperty(subtype='FILE_PATH', options={'SKIP_SAVE'},
                             description="A sound file to key instead of the selected strip")
    filter_sound: BoolProperty(default=True, options={'HIDDEN', 'SKIP_SAVE'})
    filter_folder: BoolProperty(default=True, options={'HIDDEN', 'SKIP_SAVE'})
    shapes: BoolProperty(name="Mouth Shapes", default=True,
                         description="Also guess mouth shapes when vokra-cli can")
    text_file: StringProperty(
        name="Script", subtype='FILE_PATH',
        description="A UTF-8 text file with the words spoken, for mouths that follow them "
                    "(empty: guessed from the sound alone)")
    language: StringProperty(name="Language", default="en-us",
                             description="The script's language, as an espeak-ng voice name "
                                         "(en-us, de, fr, ja ...)")

    def invoke(self, context, event):
        if self.in_background or self.filepath or sound_strip(context) is not None:
            return self.run_in_background(context)
        self.browsed = True
        context.window_manager.fileselect_add(self)
        return {'RUNNING_MODAL'}

    def job(self, folder):
        context = bpy.context
        scene = context.scene
        rate = scene_rate(scene)
        if not vokra_data.MIN_RATE <= rate <= vokra_data.MAX_RATE:
            raise VokraDataError(f"Vokra keys 1 to 100 frames per second; the scene runs at "
                                 f"{rate:g}.")
        obj = context.view_layer.objects.active
        if obj is not None and obj.type not in curves.SHAPE_KEY_TYPES and \
                not self.properties.is_property_set("target"):
            self.target = 'PROPERTY'  # a rig without shape keys: its opening on a property
        curves.check_key_target(obj, self.target, self.shape_key, self.property_name)
        strip = None if self.filepath else sound_strip(context)
        if strip is not None:
            sound, start = strip_sound_file(strip, folder), strip.frame_start
        elif self.filepath:
            sound, start = os.path.abspath(bpy.path.abspath(self.filepath)), scene.frame_current
            vokra_data.check_regular_file(sound)
        else:
            raise VokraDataError("Select a sound strip in the Video Sequencer, or choose a "
                                 "sound file.")
        name = os.path.basename(sound)
        self.activity = f"keying {name}"
        features = yield from vokra_cli.features_job(self._tool)
        script = script_args(self.text_file, self.language, features)
        with_shapes = (self.shapes or script) and features.shapes
        if with_shapes:
            mouths.check(obj, self.shape_key_pattern, self.pose_action_pattern)
        args = ["autokey", sound, "--fps", repr(rate), "--format", "json"]
        args += ["--shapes"] + script if with_shapes else []
        # Changing an option in the redo panel runs the command again: the same sound with the
        # same options takes the last run's keys instead of making Blender wait for the tool.
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
            if strip is None or strip.sound.packed_file is None:  # a packed sound's file is new
                _last_autokey[inputs] = data
        doc = vokra_data.parse_document(data, name)
        if not doc.keys:
            raise VokraDataError(f"vokra-cli made no keys for {name}.")
        retime = None if vokra_data.same_rate(doc.frame_rate, rate) else rate
        points = vokra_data.key_points(doc, start, retime)
        vokra_data.check_frames([points[0].frame, points[-1].frame], start)
        changes, last = vokra_data.shape_points(doc, start, retime)
        # The scene may have changed while vokra-cli ran: everything is checked again.
        obj = _report_target(obj)
        curves.check_key_target(obj, self.target, self.shape_key, self.property_name)
        rig = mouths.check(obj, self.shape_key_pattern, self.pose_action_pattern) \
            if changes else None
        into = self.target_for(name, obj, getattr(obj.data, "shape_keys", None))
        if strip is None:
            add_sound_strip(context.scene, sound, start)
        where = curves.apply_keys(obj, self.target, self.shape_key, self.property_name, points,
                                  into)
        message = f"Vokra keyed {name} at {rate:g} fps onto {where}"
        if changes:
            mouths.apply(rig, changes, last, self.ease_frames, self.hold_frames, into)
            message += f", with {len(changes)} shape changes; {rig.describe()}"
        return message + into.finish() + "."
