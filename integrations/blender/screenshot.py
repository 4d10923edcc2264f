# Takes the manual's picture of Blender's Graph Editor with imported Vokra keys. Run under Xvfb:
#   vokra-cli autokey voice.wav --fps 24 --high-range 120 --format json -o keys.json
#   xvfb-run -s "-screen 0 1600x900x24" blender --factory-startup \
#       --python integrations/blender/screenshot.py -- keys.json shot.png
#   convert shot.png +dither -colors 64 PNG8:docs/blender-graph-editor.png
import os
import sys

import addon_utils
import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
addon_utils.enable("vokra_blender", default_set=True)
bpy.context.preferences.view.show_splash = False
KEYS, OUT = sys.argv[sys.argv.index("--") + 1:][:2]


def window():
    return bpy.context.window_manager.windows[0]


def setup():
    bpy.ops.import_anim.vokra_keys(filepath=KEYS)
    scene = bpy.context.scene
    scene.frame_end = 130
    scene.frame_current = 40
    screen = window().screen
    max(screen.areas, key=lambda a: a.width * a.height).type = 'GRAPH_EDITOR'
    for area in screen.areas:
        if area.type == 'PROPERTIES':
            area.spaces.active.context = 'DATA'  # the shape keys


def frame_all():
    for area in window().screen.areas:
        area.tag_redraw()
        if area.type == 'GRAPH_EDITOR':
            region = next(r for r in area.regions if r.type == 'WINDOW')
            with bpy.context.temp_override(window=window(), area=area, region=region):
                bpy.ops.anim.channels_expand(all=True)
                bpy.ops.anim.channels_expand(all=True)
                bpy.ops.graph.view_all()


def shot():
    with bpy.context.temp_override(window=window()):
        bpy.ops.screen.screenshot(filepath=OUT, check_existing=False)
    bpy.ops.wm.quit_blender()


# Each step after Blender has drawn the one before.
for step, delay in ((setup, 1.5), (frame_all, 3.0), (frame_all, 4.5), (shot, 6.0)):
    bpy.app.timers.register(step, first_interval=delay)
