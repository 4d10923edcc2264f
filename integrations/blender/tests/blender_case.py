# What every test of the add-on inside Blender shares: the add-on enabled from the source tree, a
# test case that starts each test from a new scene, and the keys most tests import.
import json
import os
import shutil
import sys
import tempfile
import unittest

import addon_utils
import bpy

HERE = os.path.dirname(os.path.abspath(__file__))
ADDON_DIR = os.path.dirname(HERE)
CLI = os.environ.get("VOKRA_CLI", "")


def enable_from_source():
    if ADDON_DIR not in sys.path:
        sys.path.insert(0, ADDON_DIR)
    addon_utils.enable("vokra_blender", default_set=True, handle_error=None)
    return bpy.context.preferences.addons["vokra_blender"].preferences


class Case(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vokra-test-")
        self.fresh()

    def fresh(self):
        """Blender's default scene, the add-on on, the built vokra-cli chosen."""
        bpy.ops.wm.read_factory_settings(use_empty=False)
        self.prefs = enable_from_source()
        self.prefs.cli_path = CLI
        self.prefs.timeout = 60.0
        self.obj = bpy.context.view_layer.objects.active  # the default cube
        return bpy.context.scene

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write(self, name, content):
        path = os.path.join(self.dir, name)
        with open(path, "wb" if isinstance(content, bytes) else "w") as f:
            f.write(content if isinstance(content, (str, bytes)) else json.dumps(content))
        return path

    def fake_cli(self, body, help_page=True):
        """A stand-in vokra-cli running `body`; with `help_page` its --help names what the
        add-on looks for."""
        page = ('[ "$1" = --help ] && echo "vokra-cli autokey SOUND [--shapes] [--text FILE '
                '--language NAME]" && exit 0\n') if help_page else ""
        path = self.write("fake-cli", "#!/bin/sh\n" + page + body + "\n")
        os.chmod(path, 0o755)
        self.prefs.cli_path = path

    def curve(self, id_data, path):
        return id_data.animation_data.action.fcurves.find(path)

    def snapshot(self):
        """What a failed import must leave exactly as it was."""
        obj, scene = self.obj, bpy.context.scene
        key = getattr(obj.data, "shape_keys", None)
        return ({k: v for k, v in obj.items() if k != "vokra_mapping"},
                obj.animation_data is not None, key is not None,
                scene.render.fps, scene.render.fps_base, len(bpy.data.actions),
                scene.sequence_editor is not None and len(scene.sequence_editor.sequences_all))


KEYS = {"frameRate": 24, "sound": None, "keys": [
    {"frame": 3, "time": 0.125, "opening": 0.5},
    {"frame": 5, "time": 0.2083, "opening": 1.5, "hand": True},
    {"frame": 9, "time": 0.375, "opening": 0.25}]}
# Vokra frame -> opening: the lead-in ramp, keys, lines between them, the held last key.
EXPECTED = [(-1, 0.0), (0, 0.0), (1.5, 0.25), (3, 0.5), (4, 1.0), (5, 1.5), (7, 0.875),
            (9, 0.25), (20, 0.25)]
SHAPES = dict(KEYS, shapes=[{"frame": 2, "shape": "A"}, {"frame": 3, "shape": "A"},
                            {"frame": 5, "shape": "D", "hand": True}, {"frame": 6, "shape": "C"},
                            {"frame": 7, "shape": "C"}, {"frame": 8, "shape": "X"}])
# Vokra frame -> shape index: rest before the first shape and in the gap at frame 4.
SHAPE_AT = {0: 8, 1: 8, 2: 0, 3: 0, 4: 8, 5: 3, 6: 2, 7: 2, 8: 8, 12: 8}
