# Vokra for Blender: puts the mouth-opening keys and mouth shapes made in Vokra (or by vokra-cli
# from a sound strip) on a character: shape keys of any names, or an armature's poses. It talks to
# Vokra only through its files and vokra-cli, which always runs in the background.
bl_info = {
    "name": "Vokra Lip Sync",
    "author": "Vokra developers",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "3D View > Sidebar > Vokra; File > Import > Vokra Keys / Vokra Shapes; Video "
                "Sequencer > Strip > Key with Vokra",
    "description": "Import Vokra's lip-sync keys and mouth shapes onto shape keys or poses, or "
                   "key a sound strip with vokra-cli",
    "category": "Import-Export",
    "license": "GPL-3.0-or-later",
}

import os

import addon_utils
import bpy
from bpy.props import BoolProperty, FloatProperty, PointerProperty, StringProperty

from . import mouths, operators, panel, running, vokra_cli
from .vokra_data import VokraDataError

# What the last Check found: (text, icon); shown by the preferences, never worked out there.
_checked = {"state": None}


class PREFERENCES_OT_vokra_check(running.Background, bpy.types.Operator):
    """Run vokra-cli in the background to see which one is used and what it can do"""
    bl_idname = "preferences.vokra_check"
    bl_label = "Check"
    activity = "checking vokra-cli"
    shows_outcome = False

    def invoke(self, context, event):
        return self.run_in_background(context)

    def job(self, folder):
        _checked["state"] = ("Checking...", 'TIME')
        page = yield ["--help"]
        found = vokra_cli.Features(page)
        if not found.is_vokra:
            raise VokraDataError(f"{self._tool} does not look like vokra-cli: its --help "
                                 "names no autokey command.")
        version = (yield ["--version"]).decode("utf-8", "replace").strip().split("\n")[0]
        version = "".join(c for c in version if c.isprintable())[:60]
        _checked["state"] = (f"{version or 'vokra-cli'}: {found.describe()}", 'CHECKMARK',
                             self._tool)
        return f"Vokra: {_checked['state'][0]} ({self._tool})"

    def fail(self, context, error):
        _checked["state"] = (str(error), 'ERROR')
        _redraw_preferences()
        return super().fail(context, error)

    def done(self):
        _redraw_preferences()
        return super().done()

    def stop(self, context):
        super().stop(context)
        if _checked["state"] and _checked["state"][1] == 'TIME':
            _checked["state"] = ("The check was cancelled.", 'INFO')


def other_copies():
    """Other copies of this add-on in Blender's add-on folders, which Blender does not load
    while this one is there (a zip installed by the user beside the system's copy)."""
    own = os.path.realpath(os.path.dirname(os.path.abspath(__file__)))
    copies = []
    for folder in addon_utils.paths():
        path = os.path.join(folder, __package__)
        if os.path.isdir(path) and os.path.realpath(path) != own and path not in copies:
            copies.append(path)
    return copies


def shadow_warnings():
    """One line per copy that is not used, naming both folders."""
    own = os.path.dirname(os.path.abspath(__file__))
    return [f"The copy of this add-on in {path} is not used: Blender loads the one in {own}. "
            "Remove one of them (Preferences > Add-ons > Remove removes an installed copy)."
            for path in other_copies()]


def _redraw_preferences():
    for window in bpy.context.window_manager.windows:
        for area in window.screen.areas:
            if area.type == 'PREFERENCES':
                area.tag_redraw()


class VokraPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    cli_path: StringProperty(
        name="vokra-cli", subtype='FILE_PATH',
        description="The vokra-cli program to run; empty: the one found on PATH")
    timeout: FloatProperty(
        name="Time Limit", default=300.0, min=1.0, max=3600.0,
        description="Seconds a whole vokra-cli run (keying a sound, reading a document) may take "
                    "before it is stopped")

    def draw(self, context):
        layout = self.layout
        layout.prop(self, "cli_path")
        layout.prop(self, "timeout")
        row = layout.row()
        row.operator(PREFERENCES_OT_vokra_check.bl_idname, icon='VIEWZOOM')
        state = _checked["state"] or ("Not checked yet: Check runs vokra-cli once.", 'INFO')
        chosen = os.path.abspath(os.path.expanduser(self.cli_path)) if self.cli_path else None
        if len(state) > 2 and chosen is not None and chosen != state[2]:
            state = ("vokra-cli changed since the last check: press Check.", 'INFO')
        row.label(text=state[0], icon=state[1])
        if len(state) > 2:
            layout.label(text=f"Using {state[2]}")
        for warning in shadow_warnings():
            panel.wrapped(layout.box(), warning, 'ERROR')


def menu_import(self, context):
    self.layout.operator(operators.IMPORT_ANIM_OT_vokra_keys.bl_idname,
                         text="Vokra Keys (.json, .vok)")
    self.layout.operator(operators.IMPORT_ANIM_OT_vokra_shapes.bl_idname,
                         text="Vokra Shapes (.json, .vok)")


def menu_strip(self, context):
    self.layout.separator()
    self.layout.operator(operators.SEQUENCER_OT_vokra_autokey.bl_idname,
                         text="Key Active Object with Vokra", icon='SPEAKER')


classes = (
    mouths.VokraMapping,
    VokraPreferences,
    PREFERENCES_OT_vokra_check,
    operators.IMPORT_ANIM_OT_vokra_keys,
    operators.IMPORT_ANIM_OT_vokra_shapes,
    operators.SEQUENCER_OT_vokra_autokey,
    panel.OBJECT_OT_vokra_mapping_preset,
    panel.VIEW3D_PT_vokra,
)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.Object.vokra_mapping = PointerProperty(type=mouths.VokraMapping)
    bpy.types.Scene.vokra_shapes = BoolProperty(
        name="Mouth Shapes", default=True,
        description="Also guess mouth shapes when vokra-cli can (else only the opening)")
    bpy.types.Scene.vokra_script = StringProperty(
        name="Script", subtype='FILE_PATH',
        description="A UTF-8 text file with the words spoken, for mouths that follow them")
    bpy.types.Scene.vokra_language = StringProperty(
        name="Language", default="en-us",
        description="The script's language, as an espeak-ng voice name (en-us, de, fr, ja ...)")
    bpy.types.TOPBAR_MT_file_import.append(menu_import)
    bpy.types.SEQUENCER_MT_strip.append(menu_strip)
    panel.shadowed[:] = shadow_warnings()
    for warning in panel.shadowed:
        print("Vokra Lip Sync:", warning)


def unregister():
    bpy.types.SEQUENCER_MT_strip.remove(menu_strip)
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    del bpy.types.Scene.vokra_language
    del bpy.types.Scene.vokra_script
    del bpy.types.Scene.vokra_shapes
    del bpy.types.Object.vokra_mapping
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
