# The Vokra tab of the 3D view's sidebar: the active object's mapping of the mouths, the imports,
# and keying from a sound strip. Drawing only shows data; every change goes through an operator.
import bpy
from bpy.props import EnumProperty

from . import operators
from .curves import SHAPE_KEY_TYPES
from .mouths import stored_names
from .vokra_data import SHAPE_LETTERS, SHAPE_NAMES

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
            value = {'LETTERS': letter, 'PRESTON': name, 'PREFIX': mapping.prefix + letter,
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
        obj = context.view_layer.objects.active
        if obj is None:
            layout.label(text="Select the character to key.", icon='INFO')
            return
        layout.label(text=obj.name, icon='OUTLINER_OB_' + obj.type)
        if obj.library is not None:
            layout.label(text="Linked from a library: make it local to key it.", icon='ERROR')
            return
        mapping = obj.vokra_mapping
        self.draw_mapping(layout.box(), obj, mapping)
        col = layout.column(align=True)
        row = col.row(align=True)
        row.prop(mapping, "ease_frames", text="Ease")
        row.prop(mapping, "hold_frames", text="Hold")
        col.prop(mapping, "bake_nla")
        col = layout.column(align=True)
        col.label(text="Import")
        op = col.operator(operators.IMPORT_ANIM_OT_vokra_keys.bl_idname, text="Keys...",
                          icon='IMPORT')
        self.set_target(op, obj, mapping)
        op.bake_nla = mapping.bake_nla
        self.set_mouths(col.operator(operators.IMPORT_ANIM_OT_vokra_shapes.bl_idname,
                                     text="Shapes...", icon='IMPORT'), mapping)
        self.draw_sound(layout, context, mapping)

    def draw_mapping(self, box, obj, mapping):
        row = box.row(align=True)
        row.label(text="Mouths")
        row.operator_menu_enum(OBJECT_OT_vokra_mapping_preset.bl_idname, "preset",
                               text="Preset", icon='PRESET')
        box.prop(mapping, "prefix")
        key = getattr(obj.data, "shape_keys", None) if obj.data is not None else None
        kind = "pose" if obj.type == 'ARMATURE' else "shape"
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

    @staticmethod
    def set_target(op, obj, mapping):
        """The opening goes to the mapped shape key, or to a property where there are none."""
        op.target = 'SHAPE_KEY' if obj.type in SHAPE_KEY_TYPES else 'PROPERTY'
        op.shape_key = mapping.open_shape_key or "Vokra Open"

    @staticmethod
    def set_mouths(op, mapping):
        op.ease_frames = mapping.ease_frames
        op.hold_frames = mapping.hold_frames
        op.bake_nla = mapping.bake_nla

    def draw_sound(self, layout, context, mapping):
        col = layout.column(align=True)
        col.label(text="Sound")
        strip = operators.sound_strip(context)
        col.label(text=strip.name if strip else "No sound strip selected",
                  icon='SPEAKER' if strip else 'INFO')
        scene = context.scene
        col.label(text="Script (optional):")
        col.prop(scene, "vokra_script", text="")
        row = col.row(align=True)
        row.label(text="Language:")
        row.prop(scene, "vokra_language", text="")
        op = col.operator(operators.SEQUENCER_OT_vokra_autokey.bl_idname, text="Key with Vokra",
                          icon='PLAY_SOUND')
        self.set_target(op, context.view_layer.objects.active, mapping)
        op.text_file = scene.vokra_script
        op.language = scene.vokra_language
        self.set_mouths(op, mapping)
