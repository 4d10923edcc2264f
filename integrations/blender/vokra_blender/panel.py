# The Vokra tab of the 3D view's sidebar: the active object's mapping of the mouths, the imports,
# and keying from a sound strip. Drawing only shows data; every change goes through an operator.
import textwrap

import bpy
from bpy.props import EnumProperty

from . import operators, running
from .curves import SHAPE_KEY_TYPES
from .mouths import stored_names
from .vokra_data import SHAPE_LETTERS, SHAPE_NAMES

# Warnings about copies of the add-on Blender does not load, found when it was turned on.
shadowed = []


def wrapped(layout, text, icon='NONE', width=48):
    """A long message as lines of a column (a label does not wrap), the icon on the first."""
    col = layout.column(align=True)
    for n, line in enumerate(textwrap.wrap(text, width) or [""]):
        col.label(text=line, icon=icon if n == 0 else 'BLANK1')


PRESETS = [
    ('LETTERS', "Letters", "The mouths' letters: A ... H, X"),
    ('PRESTON', "Preston Blair", "Preston Blair's names: MBP, etc, E, AI, O, U, FV, L, rest"),
    ('PREFIX', "Prefix", "The prefix followed by the letter, e.g. mouth_A ... mouth_X"),
    ('CLEAR', "Clear", "No mapping: shape keys named after the mouths are found by themselves"),
]


class OBJECT_OT_vokra_mapping_preset(bpy.types.Operator):
    """Fill the active object's mouth mapping from a naming scheme"""
    bl_idname = "object.vokra_mapping_preset"
    bl_label = "Vokra Mapping Preset"
    bl_options = {'REGISTER', 'UNDO'}

    preset: EnumProperty(name="Preset", items=PRESETS)

    @classmethod
    def poll(cls, context):
        obj = context.view_layer.objects.active
        return obj is not None and obj.library is None

    def execute(self, context):
        obj = context.view_layer.objects.active
        mapping = obj.vokra_mapping
        kind = "pose" if obj.type == 'ARMATURE' else "shape"
        for letter, name in zip(SHAPE_LETTERS, SHAPE_NAMES):
            prefix = mapping.pose_prefix if kind == "pose" else mapping.prefix
            value = {'LETTERS': letter, 'PRESTON': name, 'PREFIX': prefix + letter,
                     'CLEAR': ""}[self.preset]
            setattr(mapping, f"{kind}_{letter}", value)
        return {'FINISHED'}


class VIEW3D_PT_vokra(bpy.types.Panel):
    bl_space_type = 'VIEW_3D'
    bl_region_type = 'UI'
    bl_category = "Vokra"
    bl_label = "Vokra Lip Sync"

    def draw(self, context):
        layout = self.layout
        # Characters per line: the region's width less margins and icon, in the interface's scale.
        scale = context.preferences.system.ui_scale
        width = max(16, int((context.region.width - 40 * scale) / (8.5 * scale))) \
            if context.region else 48
        for warning in shadowed:
            wrapped(layout.box(), warning, 'ERROR', width)
        obj = context.view_layer.objects.active
        if obj is None:
            layout.label(text="Select the character to key.", icon='INFO')
            return
        layout.label(text=obj.name, icon='OUTLINER_OB_' + obj.type)
        if obj.library is not None:
            layout.label(text="Linked from a library: make it local to key it.", icon='ERROR')
            return
        # What to do first: a sound strip, then Key with Vokra; how the last run ended.
        self.draw_sound(layout.box(), context, width)
        last = running.outcome["last"]
        if last is not None:
            wrapped(layout.box(), last[0], last[1], width)
        self.draw_mapping(layout.box(), obj)
        home = obj.vokra_mapping
        col = layout.column(align=True)
        row = col.row(align=True)
        row.prop(home, "ease_frames", text="Ease")
        row.prop(home, "hold_frames", text="Hold")
        col.prop(home, "bake_nla")
        col = layout.column(align=True)
        col.label(text="Import")
        col.operator(operators.IMPORT_ANIM_OT_vokra_keys.bl_idname, text="Keys...",
                     icon='IMPORT')
        col.operator(operators.IMPORT_ANIM_OT_vokra_shapes.bl_idname, text="Shapes...",
                     icon='IMPORT')

    def draw_mapping(self, box, obj):
        mapping = obj.vokra_mapping
        row = box.row(align=True)
        row.label(text="Mouths")
        row.operator_menu_enum(OBJECT_OT_vokra_mapping_preset.bl_idname, "preset",
                               text="Preset", icon='PRESET')
        kind = "pose" if obj.type == 'ARMATURE' else "shape"
        box.prop(mapping, "pose_prefix" if kind == "pose" else "prefix")
        key = getattr(obj.data, "shape_keys", None) if obj.data is not None else None
        col = box.column(align=True)
        for letter, name in zip(SHAPE_LETTERS, SHAPE_NAMES):
            text = f"{letter}  {name}"
            if kind == "pose":
                col.prop_search(mapping, f"pose_{letter}", bpy.data, "actions", text=text)
            elif key is not None:
                col.prop_search(mapping, f"shape_{letter}", key, "key_blocks", text=text)
            else:
                col.prop(mapping, f"shape_{letter}", text=text)
        if kind == "shape" and not stored_names(obj, "shape"):
            box.label(text="Unset: keys named A ... X or MBP ... rest are used", icon='INFO')
        if key is not None:
            box.prop_search(mapping, "open_shape_key", key, "key_blocks")
        elif obj.type in SHAPE_KEY_TYPES:
            box.prop(mapping, "open_shape_key")

    def draw_sound(self, box, context, width):
        col = box.column(align=True)
        strip = operators.sound_strip(context)
        if strip is not None:
            col.label(text=f"Sound: {strip.name}", icon='SPEAKER')
        else:
            wrapped(col, "1. Add a sound strip in the Video Sequencer and select it (or choose "
                         "a sound file in step 2).", 'INFO', width)
        scene = context.scene
        col.separator()
        col.prop(scene, "vokra_shapes")
        col.label(text="Script (optional):")
        col.prop(scene, "vokra_script", text="")
        row = col.row(align=True)
        row.label(text="Language:")
        row.prop(scene, "vokra_language", text="")
        row = box.row()
        row.scale_y = 1.4
        row.operator(operators.SEQUENCER_OT_vokra_autokey.bl_idname,
                     text=("2. " if strip is None else "") + "Key with Vokra",
                     icon='PLAY_SOUND')
