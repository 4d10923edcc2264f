# Vokra for Blender: puts the mouth-opening keys and mouth shapes made in Vokra (or by vokra-cli
# from a sound strip) on a character. It talks to Vokra only through its files and vokra-cli.
bl_info = {
    "name": "Vokra Lip Sync",
    "author": "Vokra developers",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > Vokra Keys / Vokra Shapes; Video Sequencer > Strip > Key with "
                "Vokra",
    "description": "Import Vokra's lip-sync keys and mouth shapes, or key a sound strip with "
                   "vokra-cli",
    "category": "Import-Export",
    "license": "GPL-3.0-or-later",
}

import bpy
from bpy.props import FloatProperty, StringProperty

from . import operators, vokra_cli
from .vokra_data import VokraDataError


class VokraPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    cli_path: StringProperty(
        name="vokra-cli", subtype='FILE_PATH',
        description="The vokra-cli program to run; empty: the one found on PATH")
    timeout: FloatProperty(
        name="Time Limit", default=300.0, min=1.0, max=3600.0,
        description="Seconds vokra-cli may take to key a sound before it is given up")

    def draw(self, context):
        layout = self.layout
        layout.prop(self, "cli_path")
        layout.prop(self, "timeout")
        try:
            tool = vokra_cli.find_tool(self.cli_path)
            shapes = "keys and shapes" if vokra_cli.supports_shapes(tool) else "keys only"
            layout.label(text=f"Using {tool} ({shapes})", icon='CHECKMARK')
        except VokraDataError as e:
            layout.label(text=str(e), icon='ERROR')


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
    VokraPreferences,
    operators.IMPORT_ANIM_OT_vokra_keys,
    operators.IMPORT_ANIM_OT_vokra_shapes,
    operators.SEQUENCER_OT_vokra_autokey,
)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)
    bpy.types.SEQUENCER_MT_strip.append(menu_strip)


def unregister():
    bpy.types.SEQUENCER_MT_strip.remove(menu_strip)
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
