# Takes the manual's picture of the Vokra tab in the 3D view's sidebar with an armature posed by
# imported mouth shapes. Run under Xvfb:
#   vokra-cli autokey voice.wav --fps 24 --shapes --format json -o shapes.json
#   xvfb-run -s "-screen 0 1600x900x24" blender --factory-startup --enable-event-simulate \
#       --python integrations/blender/screenshot_rig.py -- shapes.json FRAME shot.png
#   convert shot.png -crop 1325x815+0+0 +repage +dither -colors 64 PNG8:docs/blender-sidebar.png
import math
import os
import sys

import addon_utils
import bmesh
import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
addon_utils.enable("vokra_blender", default_set=True)
bpy.context.preferences.view.show_splash = False
SHAPES, FRAME, OUT = sys.argv[sys.argv.index("--") + 1:][:3]
# How far each mouth opens the jaw, in degrees: A closed ... D wide open, X at rest.
JAW = {"A": 0, "B": 8, "C": 14, "D": 26, "E": 12, "F": 6, "G": 4, "H": 10, "X": 2}


def window():
    return bpy.context.window_manager.windows[0]


def build():
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    bpy.ops.mesh.primitive_uv_sphere_add(segments=48, ring_count=24, radius=1.0,
                                         location=(0, 0, 1.2))
    head = bpy.context.view_layer.objects.active
    head.name = "Head"
    bpy.ops.object.shade_smooth()
    data = bpy.data.armatures.new("Face")
    rig = bpy.data.objects.new("Face Rig", data)
    bpy.context.scene.collection.objects.link(rig)
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode='EDIT')
    jaw = data.edit_bones.new("jaw")
    jaw.head, jaw.tail = (0, 0.35, 1.25), (0, -0.95, 0.85)
    bpy.ops.object.mode_set(mode='OBJECT')
    rig.show_in_front = True
    # The lower front of the head is cut loose and follows the jaw bone; a dark inner sphere
    # shows through when the mouth opens.
    def in_jaw(co):
        return co.z < -0.05 and co.y < 0.3

    mesh = bmesh.new()
    mesh.from_mesh(head.data)
    jaw_face = {f: all(in_jaw(v.co) for v in f.verts) for f in mesh.faces}
    cut = [e for e in mesh.edges if len({jaw_face[f] for f in e.link_faces}) == 2]
    bmesh.ops.split_edges(mesh, edges=cut)
    mesh.to_mesh(head.data)
    mesh.free()
    group = head.vertex_groups.new(name="jaw")
    group.add(sorted({i for p in head.data.polygons for i in p.vertices
                      if all(in_jaw(head.data.vertices[j].co) for j in p.vertices)}), 1.0,
              'REPLACE')
    head.modifiers.new("Armature", 'ARMATURE').object = rig
    head.color = (0.85, 0.62, 0.5, 1.0)
    bpy.ops.mesh.primitive_uv_sphere_add(radius=0.93, location=(0, 0, 1.2))
    inner = bpy.context.view_layer.objects.active
    inner.name, inner.color = "Mouth", (0.25, 0.03, 0.05, 1.0)
    inner.select_set(False)
    bone = rig.pose.bones["jaw"]
    bone.rotation_mode = 'XYZ'
    for letter, degrees in JAW.items():
        action = bpy.data.actions.new("pose_" + letter)
        action.use_fake_user = True
        curve = action.fcurves.new('pose.bones["jaw"].rotation_euler', index=0,
                                   action_group="jaw")
        curve.keyframe_points.insert(1, math.radians(degrees))
    bpy.context.view_layer.objects.active = rig
    head.select_set(False)
    rig.select_set(True)
    rig.vokra_mapping.prefix = "pose_"
    bpy.ops.object.vokra_mapping_preset(preset='PREFIX')
    rig.vokra_mapping.ease_frames = 2
    bpy.ops.import_anim.vokra_shapes(filepath=SHAPES, ease_frames=2)
    scene = bpy.context.scene
    scene.frame_current = int(FRAME)
    for area in window().screen.areas:
        if area.type == 'VIEW_3D':
            space = area.spaces.active
            space.show_region_ui = True
            space.shading.type = 'SOLID'
            space.shading.color_type = 'OBJECT'
            region = next(r for r in area.regions if r.type == 'UI')
            if hasattr(region, "active_panel_category"):
                region.active_panel_category = "Vokra"
            view = space.region_3d
            view.view_rotation = (0.55, 0.45, 0.42, 0.57)  # from the character's right
            view.view_rotation.normalize()
            view.view_distance = 5.0
            view.view_location = (0, -0.3, 1.0)
            tabs = next(r for r in area.regions if r.type == 'UI')
            global TAB_X
            TAB_X = tabs.x + tabs.width - 8


TAB_X = 0


def open_tab():
    """Blender 3.4 has no call to pick a sidebar tab: a simulated click on "Vokra" does it (the
    tabs run down the region's right edge; the fourth, after Item, Tool and View)."""
    win = window()
    if not bpy.app.use_event_simulate:
        return
    for y in range(win.height - 120, win.height - 320, -8):
        win.event_simulate(type='MOUSEMOVE', value='NOTHING', x=TAB_X, y=y)
    x, y = TAB_X, int(os.environ.get("VOKRA_TAB_Y", win.height - 245))
    win.event_simulate(type='MOUSEMOVE', value='NOTHING', x=x, y=y)
    win.event_simulate(type='LEFTMOUSE', value='PRESS', x=x, y=y)
    win.event_simulate(type='LEFTMOUSE', value='RELEASE', x=x, y=y)
    win.event_simulate(type='MOUSEMOVE', value='NOTHING', x=x - 600, y=y)


def shot():
    with bpy.context.temp_override(window=window()):
        bpy.ops.screen.screenshot(filepath=OUT, check_existing=False)
    bpy.ops.wm.quit_blender()


for step, delay in ((build, 1.5), (open_tab, 4.0), (shot, 6.0)):
    bpy.app.timers.register(step, first_interval=delay)
