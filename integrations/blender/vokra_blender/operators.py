# The add-on's operators: File > Import > Vokra Keys and Vokra Shapes, and Key with Vokra in the
# Video Sequencer. Each one reads and checks everything first and changes the scene last, so a
# failure leaves the scene as it was.
import os
import tempfile

import bpy
from bpy.props import BoolProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import curves, vokra_cli, vokra_data
from .vokra_data import MAX_BLENDER_FRAME, MouthCues, VokraDataError


class RateMismatch(Exception):
    def __init__(self, doc_rate, scene_rate):
        super().__init__(f"The document runs at {doc_rate:g} frames per second and the scene at "
                         f"{scene_rate:g}: set the scene's rate, or re-time the keys "
                         "(Set Scene Rate or Other Rate in the import options).")
        self.doc_rate, self.scene_rate = doc_rate, scene_rate


def preferences(context):
    addon = context.preferences.addons.get(__package__)
    return addon.preferences if addon is not None else None


def cli_tool(context):
    prefs = preferences(context)
    return vokra_cli.find_tool(prefs.cli_path if prefs is not None else "")


def scene_rate(scene):
    return scene.render.fps / scene.render.fps_base


def set_scene_rate(scene, rate):
    scene.render.fps, scene.render.fps_base = vokra_data.blender_rate(rate)


def load_document(context, path):
    """The checked contents of a keys JSON, a mouth-cue JSON or (through vokra-cli) a .vok."""
    path = bpy.path.abspath(path)
    name = os.path.basename(path)
    if path.lower().endswith(".vok"):
        vokra_data.check_regular_file(path)
        data = vokra_cli.export_json(cli_tool(context), path)
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


class FileOptions(ImportHelper):
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

    def checked(self, context, prepare):
        """Runs `prepare`, which checks the file and the target before the scene is touched and
        returns (what to apply, the object, the scene rate to set or None). The rate is set here;
        None after a clear report, with the scene unchanged."""
        try:
            result = prepare()
        except RateMismatch as mismatch:
            self.offer_rates(context, mismatch)
            return None
        except VokraDataError as e:
            self.report({'ERROR'}, str(e))
            return None
        if result[2] is not None:
            set_scene_rate(context.scene, result[2])
        return result

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
            for label, name, value in (
                    (f"Set Scene to {mismatch.doc_rate:g} fps", "set_scene_fps", True),
                    (f"Re-time Keys to {mismatch.scene_rate:g} fps", "fps_mode", 'RETIME')):
                op = layout.operator(idname, text=label)
                for key, v in values.items():
                    setattr(op, key, v)
                setattr(op, name, value)

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


class IMPORT_ANIM_OT_vokra_keys(bpy.types.Operator, FileOptions, TargetOptions):
    """Import Vokra's mouth-opening keys onto the active object"""
    bl_idname = "import_anim.vokra_keys"
    bl_label = "Import Vokra Keys"
    bl_options = {'REGISTER', 'UNDO'}

    def option_names(self):
        name = "shape_key" if self.target == 'SHAPE_KEY' else "property_name"
        return ("target", name, "frame_offset", "set_scene_fps", "fps_mode")

    def execute(self, context):
        def prepare():
            doc = load_document(context, self.filepath)
            name = os.path.basename(self.filepath)
            if isinstance(doc, MouthCues):
                raise VokraDataError(f"{name} holds mouth cues, not keys: import it with "
                                     "File > Import > Vokra Shapes.")
            if not doc.keys:
                raise VokraDataError(f"{name} holds no keys.")
            retime, new_rate = self.timing(context, doc)
            points = vokra_data.key_points(doc, self.frame_offset, retime)
            vokra_data.check_frames([points[0].frame, points[-1].frame], self.frame_offset)
            obj = context.view_layer.objects.active
            curves.check_key_target(obj, self.target, self.shape_key, self.property_name)
            return points, obj, new_rate

        checked = self.checked(context, prepare)
        if checked is None:
            return {'CANCELLED'}
        points, obj, _ = checked
        where = curves.apply_keys(obj, self.target, self.shape_key, self.property_name, points)
        self.report({'INFO'}, f"Imported {len(points)} keys onto {where}.")
        return {'FINISHED'}


class IMPORT_ANIM_OT_vokra_shapes(bpy.types.Operator, FileOptions):
    """Import Vokra's mouth shapes onto the active object: the vokra_shape property (0-8 for
    A-H, X) and its shape keys named after the mouths"""
    bl_idname = "import_anim.vokra_shapes"
    bl_label = "Import Vokra Shapes"
    bl_options = {'REGISTER', 'UNDO'}

    def option_names(self):
        return ("frame_offset", "set_scene_fps", "fps_mode")

    def execute(self, context):
        def prepare():
            doc = load_document(context, self.filepath)
            retime, new_rate = self.timing(context, doc)
            changes, last = vokra_data.shape_points(doc, self.frame_offset, retime)
            if not changes:
                raise VokraDataError(
                    f"{os.path.basename(self.filepath)} holds no mouth shapes (guess them in "
                    "Vokra, or with vokra-cli autokey --shapes).")
            obj = context.view_layer.objects.active
            curves.check_shape_target(obj)
            return (changes, last), obj, new_rate

        checked = self.checked(context, prepare)
        if checked is None:
            return {'CANCELLED'}
        (changes, last), obj, _ = checked
        mouths = curves.apply_shapes(obj, changes, last)
        self.report({'INFO'}, f"Imported {len(changes)} shape changes onto {obj.name}; "
                              f"{mouths} of the nine mouths have a shape key.")
        return {'FINISHED'}


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


class SEQUENCER_OT_vokra_autokey(bpy.types.Operator, TargetOptions):
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

    def invoke(self, context, event):
        if self.filepath or sound_strip(context) is not None:
            return self.execute(context)
        context.window_manager.fileselect_add(self)
        return {'RUNNING_MODAL'}

    def execute(self, context):
        wm = context.window_manager
        wm.progress_begin(0, 4)
        try:
            with tempfile.TemporaryDirectory(prefix="vokra-") as folder:
                return self.run(context, wm, folder)
        except (VokraDataError, OSError) as e:
            self.report({'ERROR'}, str(e))
            return {'CANCELLED'}
        finally:
            wm.progress_end()

    def run(self, context, wm, folder):
        scene = context.scene
        rate = scene_rate(scene)
        if not vokra_data.MIN_RATE <= rate <= vokra_data.MAX_RATE:
            raise VokraDataError(f"Vokra keys 1 to 100 frames per second; the scene runs at "
                                 f"{rate:g}.")
        obj = context.view_layer.objects.active
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
        tool = cli_tool(context)
        prefs = preferences(context)
        timeout = prefs.timeout if prefs is not None else 300.0
        with_shapes = self.shapes and vokra_cli.supports_shapes(tool, timeout)
        wm.progress_update(1)
        out = os.path.join(folder, "keys.json")
        args = ["autokey", sound, "--fps", repr(rate), "--format", "json", "-o", out]
        vokra_cli.run(tool, args + (["--shapes"] if with_shapes else []), timeout)
        wm.progress_update(2)
        if not os.path.isfile(out):
            raise VokraDataError("vokra-cli finished without writing any keys.")
        doc = vokra_data.parse_document(vokra_data.read_json_file(out), os.path.basename(sound))
        if not doc.keys:
            raise VokraDataError(f"vokra-cli made no keys for {os.path.basename(sound)}.")
        retime = None if vokra_data.same_rate(doc.frame_rate, rate) else rate
        points = vokra_data.key_points(doc, start, retime)
        vokra_data.check_frames([points[0].frame, points[-1].frame], start)
        changes, last = vokra_data.shape_points(doc, start, retime)
        if changes:
            curves.check_shape_target(obj)
        wm.progress_update(3)
        if strip is None:
            add_sound_strip(scene, sound, start)
        where = curves.apply_keys(obj, self.target, self.shape_key, self.property_name, points)
        message = f"Vokra keyed {os.path.basename(sound)} at {rate:g} fps onto {where}"
        if changes:
            mouths = curves.apply_shapes(obj, changes, last)
            message += f", with {len(changes)} shape changes ({mouths} mouth shape keys)"
        wm.progress_update(4)
        self.report({'INFO'}, message + ".")
        return {'FINISHED'}
