# Keying from the sound strips of the sequencer through vokra-cli, and the installed package.
import json
import math
import os
import shutil
import subprocess
import sys
import unittest
import wave

import addon_utils
import bpy

from blender_case import ADDON_DIR, CLI, SHAPES, Case
from rig_cases import add_armature, pose_action


def make_voice(path, seconds=2.0, rate=16000):
    """Syllables: 150 Hz bursts of different loudness with pauses between them."""
    frames = bytearray()
    for n in range(int(seconds * rate)):
        t = n / rate
        level = 0.8 * max(0.0, math.sin(math.pi * t * 3)) ** 2 * (0.5 + 0.5 * (int(t * 3) % 2))
        sample = int(32767 * level * math.sin(2 * math.pi * 150 * t))
        frames += sample.to_bytes(2, "little", signed=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1), w.setsampwidth(2), w.setframerate(rate)
        w.writeframes(bytes(frames))


# In a stand-in vokra-cli: drops the arguments before -o, so that "$2" is the output file.
TO_OUTPUT = 'while [ "$#" -gt 0 ] && [ "$1" != -o ]; do shift; done; '


@unittest.skipUnless(CLI, "VOKRA_CLI names no vokra-cli")
class Sequencer(Case):
    def expected(self, voice, fps):
        out = os.path.join(self.dir, "direct.json")
        subprocess.run([CLI, "autokey", voice, "--fps", str(fps), "--format", "json", "-o", out],
                       check=True)
        with open(out) as f:
            return json.load(f)

    def test_keys_a_sound_strip_at_its_start_and_a_chosen_file_at_the_current_frame(self):
        voice = os.path.join(self.dir, "voice.wav")
        make_voice(voice)
        expected = self.expected(voice, 25)
        for use_strip, start in ((True, 11), (False, 50)):
            with self.subTest(use_strip=use_strip):
                scene = self.fresh()
                scene.render.fps = 25
                scene.frame_current = start
                if use_strip:
                    editor = scene.sequence_editor_create()
                    strip = editor.sequences.new_sound("voice", voice, 2, start)
                    strip.select = True
                    bpy.ops.sequencer.vokra_autokey(target='PROPERTY')
                else:
                    bpy.ops.sequencer.vokra_autokey(target='PROPERTY', filepath=voice)
                    strip = scene.sequence_editor.active_strip
                self.assertEqual(strip.frame_start, start)
                curve = self.curve(self.obj, '["vokra_open"]')
                for key in expected["keys"]:
                    self.assertAlmostEqual(curve.evaluate(start + key["frame"]), key["opening"],
                                           places=5)
                if "--shapes" in subprocess.run([CLI, "--help"], capture_output=True,
                                                text=True).stdout:
                    self.assertIsNotNone(self.curve(self.obj, '["vokra_shape"]'))

    def test_failing_vokra_cli_leaves_the_scene_unchanged(self):
        voice = os.path.join(self.dir, "voice.wav")
        make_voice(voice, seconds=0.3)
        self.prefs.timeout = 1.0
        for body, message, help_page in (
                ("echo 'voice.wav: not a sound file' >&2; exit 1", "not a sound file", True),
                ("exec sleep 30", "did not finish within 1 seconds", True),
                ("sleep 30; echo late", "did not finish within 1 seconds", True),  # a child
                ("exit 0", "without writing any keys", True),
                ("head -c 100000 /dev/urandom", "without writing any keys", True),
                (f"{TO_OUTPUT}echo '{{\"frameRate\": 25, \"keys\": [' > \"$2\"", "not a JSON",
                 True),
                ("echo 'Segmentation fault'", "does not look like vokra-cli", False),
                ("exit 0", "does not look like vokra-cli", False),
                ("exec yes", "far more than a Vokra file", False),  # ended long before 30 s
                ("exec sleep 30", "did not finish within 1 seconds", False)):
            with self.subTest(body, help_page=help_page):
                self.prefs.timeout = 30.0 if body == "exec yes" else 1.0
                self.fake_cli(body, help_page)
                before = self.snapshot()
                with self.assertRaises(RuntimeError) as raised:
                    bpy.ops.sequencer.vokra_autokey(filepath=voice)
                self.assertIn(message, str(raised.exception))
                self.assertEqual(self.snapshot(), before)


    def test_a_voice_keyed_onto_a_rig_of_any_names_and_onto_an_armature(self):
        voice = os.path.join(self.dir, "voice.wav")
        make_voice(voice)
        jaw_of = {0: 0.0, 3: -0.5, 2: -0.3, 8: -0.05}
        for rig_kind in ("shape keys", "armature"):
            with self.subTest(rig_kind):
                self.fresh()
                if rig_kind == "armature":
                    rig = add_armature()
                    for mouth, z in jaw_of.items():
                        pose_action(rig, "pose_" + "ABCDEFGHX"[mouth], z)
                    options = {"pose_action_pattern": "pose_{}"}
                else:
                    rig = self.obj
                    for name in ("Basis", "mouth_A", "mouth_D", "mouth_X"):
                        rig.shape_key_add(name=name)
                    options = {"shape_key_pattern": "mouth_{}"}
                bpy.ops.sequencer.vokra_autokey(filepath=voice, **options)
                shape = self.curve(rig, '["vokra_shape"]')
                frames = range(1, int(shape.keyframe_points[-1].co.x) + 1)
                mouths = [round(shape.evaluate(f)) for f in frames]
                self.assertGreater(len(set(mouths)), 1)  # the voice moved the mouth
                if rig_kind == "armature":
                    self.assertIsNotNone(self.curve(rig, '["vokra_open"]'))  # not a shape key
                    jaw = rig.animation_data.action.fcurves.find('pose.bones["jaw"].location',
                                                                 index=2)
                    for f, mouth in zip(frames, mouths):
                        self.assertAlmostEqual(jaw.evaluate(f), jaw_of.get(mouth, 0.0), 5, f)
                else:
                    key = rig.data.shape_keys
                    for name, mouth in (("mouth_A", 0), ("mouth_D", 3), ("mouth_X", 8)):
                        curve = self.curve(key, key.key_blocks[name].path_from_id("value"))
                        for f, shown in zip(frames, mouths):
                            self.assertEqual(curve.evaluate(f), float(shown == mouth), (name, f))

    def test_redo_takes_the_last_result_while_sound_and_options_stay(self):
        voice = os.path.join(self.dir, "voice.wav")
        make_voice(voice, seconds=0.3)
        calls = os.path.join(self.dir, "calls")
        keys = json.dumps(dict(SHAPES, frameRate=24))
        self.fake_cli(f'echo "$1" >> {calls}; {TO_OUTPUT}echo \'{keys}\' > "$2"')
        runs = []
        for change in (None, None, "target", "sound", "shapes"):
            options = {"filepath": voice, "target": 'PROPERTY' if change else 'SHAPE_KEY'}
            if change == "sound":
                make_voice(voice, seconds=0.4)
            if change == "shapes":
                options["shapes"] = False
            bpy.ops.sequencer.vokra_autokey(**options)
            with open(calls) as f:
                runs.append(f.read().split().count("autokey"))
        # Only a new sound or other vokra-cli options run the tool again.
        self.assertEqual(runs, [1, 1, 1, 2, 3])

    def test_options_come_from_the_sidebar_on_every_run(self):
        voice = os.path.join(self.dir, "voice.wav")
        make_voice(voice, seconds=0.3)
        calls = os.path.join(self.dir, "calls")
        keys = json.dumps(dict(SHAPES, frameRate=24))
        self.fake_cli(f'echo "$@" >> {calls}; {TO_OUTPUT}echo \'{keys}\' > "$2"')
        for name in ("Basis", "A", "D"):
            self.obj.shape_key_add(name=name)
        bpy.context.scene.vokra_shapes = False  # unticked in the sidebar
        self.obj.vokra_mapping.ease_frames = 2
        with_shapes = []
        for options in ({}, {"shapes": True}, {}):  # a value given once is not kept
            bpy.ops.sequencer.vokra_autokey(filepath=voice, **options)
            with open(calls) as f:
                with_shapes.append("--shapes" in f.read().split("\n")[-2])
        self.assertEqual(with_shapes, [False, True, False])
        key = self.obj.data.shape_keys
        curve = self.curve(key, key.key_blocks["D"].path_from_id("value"))
        self.assertEqual(curve.keyframe_points[1].interpolation, 'SINE')  # the sidebar's ease
        # No redo panel or Repeat Last: either would wait for vokra-cli in Blender's thread.
        for op in (bpy.types.SEQUENCER_OT_vokra_autokey, bpy.types.IMPORT_ANIM_OT_vokra_keys,
                   bpy.types.IMPORT_ANIM_OT_vokra_shapes):
            self.assertNotIn('REGISTER', op.bl_options)

    def test_a_baked_eased_line_sums_to_one_and_holds_to_the_end_of_the_sound(self):
        voice = os.path.join(self.dir, "voice.wav")
        make_voice(voice, seconds=2.0)
        keys = json.dumps(dict(SHAPES, frameRate=24))
        self.fake_cli(f'{TO_OUTPUT}echo \'{keys}\' > "$2"')
        scene = bpy.context.scene
        scene.render.fps = 24
        mouths = "ABCDEFGHX"
        for name in ("Basis",) + tuple(mouths):
            self.obj.shape_key_add(name=name)
        key = self.obj.data.shape_keys
        strip = scene.sequence_editor_create().sequences.new_sound("voice", voice, 2, 1)
        strip.select = True
        end = strip.frame_final_end
        last_change = 1 + SHAPES["shapes"][-1]["frame"]
        for ease, hold in ((3, 1), (2, 0), (1, 3), (0, 0)):  # each bake replaces the last
            with self.subTest(ease=ease, hold=hold):
                bpy.ops.sequencer.vokra_autokey(ease_frames=ease, hold_frames=hold,
                                                bake_nla=True)
                for id_data in (self.obj, key):
                    self.assertEqual([t.name for t in id_data.animation_data.nla_tracks],
                                     ["Vokra voice"])
                self.assertEqual([a.users for a in bpy.data.actions], [1, 1])  # none left over
                for frame in range(1, end + 1):
                    for sub in (0.0, 0.25, 0.5):
                        if frame == end and sub:
                            break
                        scene.frame_set(frame, subframe=sub)
                        total = sum(key.key_blocks[m].value for m in mouths)
                        self.assertAlmostEqual(total, 1.0, 5, (frame, sub))
                    if frame >= last_change:  # rest is held to the end of the sound
                        self.assertEqual(key.key_blocks["X"].value, 1.0, frame)
                        self.assertEqual(self.obj["vokra_shape"], 8, frame)

    def test_a_script_goes_to_vokra_cli_with_its_language(self):
        voice, script = os.path.join(self.dir, "voice.wav"), self.write("line.txt", "Hallo Welt")
        make_voice(voice, seconds=0.3)
        args = os.path.join(self.dir, "args")
        keys = json.dumps(dict(SHAPES, frameRate=24))
        self.fake_cli(f'printf "%s\\n" "$@" > {args}; {TO_OUTPUT}echo \'{keys}\' > "$2"')
        for text, language, message in ((script, "de", None), (script, "-x", "not a language"),
                                        (os.path.join(self.dir, "none.txt"), "de", "Cannot open")):
            with self.subTest(language=language, text=text):
                before = self.snapshot()
                try:
                    bpy.ops.sequencer.vokra_autokey(filepath=voice, text_file=text,
                                                    language=language, shapes=False)
                except RuntimeError as e:
                    self.assertIn(message, str(e))
                    self.assertEqual(self.snapshot(), before)
                    continue
                self.assertIsNone(message)
                with open(args) as f:
                    passed = f.read().split("\n")
                self.assertEqual(passed[passed.index("--text"):][:4],
                                 ["--text", script, "--language", "de"])
                self.assertIn("--shapes", passed)  # a script is for the mouths
                self.assertIsNotNone(self.curve(self.obj, '["vokra_shape"]'))


@unittest.skipUnless(os.environ.get("VOKRA_ADDON_ZIP"), "VOKRA_ADDON_ZIP names no zip")
class Package(unittest.TestCase):
    def test_zip_installs_through_install_add_on(self):
        addons = bpy.utils.user_resource('SCRIPTS', path="addons")
        self.assertTrue(os.environ.get("BLENDER_USER_SCRIPTS") and
                        addons.startswith(os.environ["BLENDER_USER_SCRIPTS"]))
        shutil.rmtree(addons, ignore_errors=True)
        if ADDON_DIR in sys.path:
            sys.path.remove(ADDON_DIR)
        bpy.ops.preferences.addon_install(filepath=os.environ["VOKRA_ADDON_ZIP"])
        self.assertTrue(os.path.isfile(os.path.join(addons, "vokra_blender", "__init__.py")))
        bpy.ops.preferences.addon_enable(module="vokra_blender")
        module = sys.modules["vokra_blender"]
        self.assertEqual(module.__file__, os.path.join(addons, "vokra_blender", "__init__.py"))
        version = ".".join(map(str, module.bl_info["version"]))
        self.assertEqual(version, os.environ.get("VOKRA_VERSION"))
        self.assertEqual(module.bl_info["license"], "GPL-3.0-or-later")
        with open(os.path.join(addons, "vokra_blender", "blender_manifest.toml")) as f:
            manifest = f.read()  # for Blender 4.2 and later: the same version and licence
        self.assertIn(f'\nversion = "{version}"\n', manifest)
        self.assertIn('license = ["SPDX:GPL-3.0-or-later"]', manifest)
        self.assertTrue(hasattr(bpy.ops.import_anim, "vokra_keys"))
        self.assertTrue(hasattr(bpy.types, "VIEW3D_PT_vokra"))
        self.assertEqual(module.other_copies(), [])
        # Another copy loaded first (as the system's is): the installed one is named as unused.
        addon_utils.disable("vokra_blender")
        for name in [n for n in sys.modules if n.split(".")[0] == "vokra_blender"]:
            del sys.modules[name]
        sys.path.insert(0, ADDON_DIR)
        addon_utils.enable("vokra_blender", default_set=True, handle_error=None)
        module = sys.modules["vokra_blender"]
        installed = os.path.join(addons, "vokra_blender")
        self.assertEqual(module.other_copies(), [installed])
        warning = module.shadow_warnings()[0]
        self.assertIn(f"{installed} is not used", warning)
        self.assertIn(os.path.join(ADDON_DIR, "vokra_blender"), warning)
