# The add-on inside real Blender: blender -b --factory-startup --python-exit-code 1 --python
# test_vokra_blender.py -- GROUP, GROUP being import, sequencer or package. VOKRA_CLI names the
# built vokra-cli, VOKRA_VERSION the project's version.
import json
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest
import wave

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


class ImportKeys(Case):
    def test_keys_land_on_their_frames_with_lead_in_on_each_target(self):
        with_lead_in = dict(KEYS, keys=[{"frame": 0, "time": 0, "opening": 0, "leadIn": True}]
                            + KEYS["keys"])
        for target, offset, doc in (('SHAPE_KEY', 1, KEYS), ('PROPERTY', -3, with_lead_in),
                                    ('SHAPE_KEY', 100, with_lead_in)):
            with self.subTest(target=target, offset=offset):
                self.fresh()
                self.prefs.cli_path = "/nonexistent/vokra-cli"  # a JSON file needs none
                path = self.write("keys.json", doc)
                bpy.ops.import_anim.vokra_keys(filepath=path, target=target, frame_offset=offset)
                if target == 'SHAPE_KEY':
                    block = self.obj.data.shape_keys.key_blocks["Vokra Open"]
                    curve = self.curve(self.obj.data.shape_keys, block.path_from_id("value"))
                    self.assertGreaterEqual(block.slider_max, 1.5)
                    bpy.context.scene.frame_set(offset + 5)
                    self.assertAlmostEqual(block.value, 1.5, places=5)  # not clipped at 1.0
                else:
                    curve = self.curve(self.obj, '["vokra_open"]')
                for frame, opening in EXPECTED:
                    self.assertAlmostEqual(curve.evaluate(offset + frame), opening, places=5)
                points = curve.keyframe_points
                self.assertEqual([p.co.x for p in points], [offset + f for f in (0, 3, 5, 9)])
                self.assertEqual({p.interpolation for p in points}, {'LINEAR'})
                self.assertEqual(points[2].type, 'EXTREME')  # the hand-made key

    def test_keys_outside_the_imported_range_are_kept(self):
        self.obj["vokra_open"] = 0.0
        for frame, value in ((-4, 0.7), (5, 0.9), (40, 0.3)):
            self.obj["vokra_open"] = value
            self.obj.keyframe_insert('["vokra_open"]', frame=frame)
        bpy.ops.import_anim.vokra_keys(filepath=self.write("k.json", KEYS), target='PROPERTY')
        curve = self.curve(self.obj, '["vokra_open"]')
        self.assertEqual([(p.co.x, round(p.co.y, 5)) for p in curve.keyframe_points],
                         [(-4, 0.7), (1, 0.0), (4, 0.5), (6, 1.5), (10, 0.25), (40, 0.3)])
        # Fewer keys than the range held: the later keys move down, in order.
        fewer = dict(KEYS, keys=[{"frame": 0, "opening": 0.6}, {"frame": 9, "opening": 0.2}])
        bpy.ops.import_anim.vokra_keys(filepath=self.write("f.json", fewer), target='PROPERTY')
        self.assertEqual([(p.co.x, round(p.co.y, 5)) for p in curve.keyframe_points],
                         [(-4, 0.7), (1, 0.6), (10, 0.2), (40, 0.3)])
        self.assertEqual(curve.keyframe_points[3].interpolation, 'BEZIER')  # moved as it was

    def test_frame_rate_choices(self):
        path = self.write("k.json", KEYS)
        # (scene fps, fps_base, options) -> scene rate after, keys re-timed
        for fps, base, options, rate_after, retimed in (
                (25, 1.0, {}, None, None),
                (25, 1.0, {"set_scene_fps": True}, 24.0, False),
                (25, 1.0, {"fps_mode": 'RETIME'}, 25.0, True),
                (25, 1.0, {"fps_mode": 'KEEP'}, 25.0, False),
                (24, 1.001, {}, None, None)):  # 23.976 against 24: they differ
            with self.subTest(fps=fps, base=base, options=options):
                scene = self.fresh()
                scene.render.fps, scene.render.fps_base = fps, base
                before = self.snapshot()
                result = bpy.ops.import_anim.vokra_keys(
                    filepath=path, target='PROPERTY', **options)
                if rate_after is None:
                    self.assertEqual(result, {'CANCELLED'})
                    self.assertEqual(self.snapshot(), before)
                    continue
                self.assertAlmostEqual(scene.render.fps / scene.render.fps_base, rate_after, 6)
                curve = self.curve(self.obj, '["vokra_open"]')
                if retimed:  # a key on every scene frame, each at its time's opening
                    self.assertEqual(len(curve.keyframe_points), math.ceil(9 * 25 / 24) + 1)
                    for i, vokra_frame, opening in ((5, 4.8, 1.4), (3, 2.88, 0.48)):
                        self.assertAlmostEqual(curve.evaluate(1 + i), opening, places=5)
                else:
                    self.assertAlmostEqual(curve.evaluate(6), 1.5, places=5)
        # Vokra's 29.97 and Blender's 30/1.001 are the same rate: imported as they are.
        scene = self.fresh()
        scene.render.fps, scene.render.fps_base = 30, 1.001
        bpy.ops.import_anim.vokra_keys(filepath=self.write("n.json", dict(KEYS, frameRate=29.97)))
        self.assertAlmostEqual(scene.render.fps_base, 1.001, places=6)
        bpy.ops.import_anim.vokra_keys(filepath=self.write("r.json", dict(KEYS, frameRate=12.5)),
                                       set_scene_fps=True)
        self.assertEqual((scene.render.fps, scene.render.fps_base), (25, 2.0))


SHAPES = dict(KEYS, shapes=[{"frame": 2, "shape": "A"}, {"frame": 3, "shape": "A"},
                            {"frame": 5, "shape": "D", "hand": True}, {"frame": 6, "shape": "C"},
                            {"frame": 7, "shape": "C"}, {"frame": 8, "shape": "X"}])
# Vokra frame -> shape index: rest before the first shape and in the gap at frame 4.
SHAPE_AT = {0: 8, 1: 8, 2: 0, 3: 0, 4: 8, 5: 3, 6: 2, 7: 2, 8: 8, 12: 8}


class ImportShapes(Case):
    def test_property_and_mouth_shape_keys_switch_on_their_frames(self):
        cues = {"metadata": {"soundFile": "v.wav", "duration": 0.8}, "mouthCues": [
            {"start": 0.0, "end": 0.2, "value": "X"}, {"start": 0.2, "end": 0.4, "value": "A"},
            {"start": 0.5, "end": 0.6, "value": "D"}, {"start": 0.6, "end": 0.8, "value": "C"},
            {"start": 0.8, "end": 0.9, "value": "X"}]}
        # Letters, and Preston Blair names where "E" is the third mouth (C), not the letter E.
        for names, doc, fps in (("Basis A D X", SHAPES, 24), ("Basis MBP AI rest E", SHAPES, 24),
                                ("Basis a d x", cues, 10)):
            with self.subTest(names=names):
                self.fresh()
                bpy.context.scene.render.fps = fps
                for name in names.split():
                    self.obj.shape_key_add(name=name)
                bpy.ops.import_anim.vokra_shapes(filepath=self.write("s.json", doc))
                prop = self.curve(self.obj, '["vokra_shape"]')
                blocks = self.obj.data.shape_keys.key_blocks
                mouths = {i: blocks[n] for i, n in zip((0, 3, 8, 2), names.split()[1:])}
                for frame, shape in SHAPE_AT.items():
                    self.assertEqual(round(prop.evaluate(1 + frame)), shape, frame)
                    bpy.context.scene.frame_set(1 + frame)
                    for index, block in mouths.items():
                        self.assertEqual(block.value, float(index == shape), (frame, block.name))
                self.assertEqual({p.interpolation for p in prop.keyframe_points}, {'CONSTANT'})


def add_armature(name="Rig", bones=("jaw", "lip")):
    """An armature with a few bones, made active, in object mode."""
    data = bpy.data.armatures.new(name)
    obj = bpy.data.objects.new(name, data)
    bpy.context.scene.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj
    bpy.ops.object.mode_set(mode='EDIT')
    for i, bone in enumerate(bones):
        edit = data.edit_bones.new(bone)
        edit.head, edit.tail = (i, 0, 0), (i, 0, 1)
    bpy.ops.object.mode_set(mode='OBJECT')
    return obj


def pose_action(rig, name, jaw_z, lip_angle=None, at=10):
    """An action holding one pose: the jaw moved down `jaw_z`, the lip optionally turned, keyed
    at frame `at` (a pose library's actions need not start at 1)."""
    action = bpy.data.actions.new(name)
    curve = action.fcurves.new('pose.bones["jaw"].location', index=2, action_group="jaw")
    curve.keyframe_points.insert(at, jaw_z)
    if lip_angle is not None:
        curve = action.fcurves.new('pose.bones["lip"].rotation_euler', index=0,
                                   action_group="lip")
        curve.keyframe_points.insert(at, lip_angle)
    rig.pose.bones["lip"].rotation_mode = 'XYZ'
    return action


class Rigs(Case):
    def mouth_keys(self, names):
        for name in ("Basis",) + tuple(names):
            self.obj.shape_key_add(name=name)
        return self.obj.data.shape_keys

    def test_shape_keys_of_other_names_by_pattern_and_by_kept_mapping(self):
        # (how the mouths are named, import options, the keys of mouths A, D, C and X)
        for how, names, options in (
                ("pattern", ("mouth_A", "mouth_D", "mouth_C", "mouth_X"),
                 {"shape_key_pattern": "mouth_{}"}),
                ("preset", ("lips.MBP", "lips.AI", "lips.E", "lips.rest"), {}),
                ("eased", ("mouth_A", "mouth_D", "mouth_C", "mouth_X"),
                 {"shape_key_pattern": "mouth_{}", "ease_frames": 2}),
                ("held", ("mouth_A", "mouth_D", "mouth_C", "mouth_X"),
                 {"shape_key_pattern": "mouth_{}", "ease_frames": 2, "hold_frames": 1})):
            with self.subTest(how):
                self.fresh()
                key = self.mouth_keys(names + ("mouth_Z", "A"))  # decoys
                if how == "preset":
                    for letter, name in zip("ADCX", names):
                        setattr(self.obj.vokra_mapping, "shape_" + letter, name)
                result = bpy.ops.import_anim.vokra_shapes(
                    filepath=self.write("s.json", SHAPES), **options)
                self.assertEqual(result, {'FINISHED'})
                mouths = dict(zip((0, 3, 2, 8), names))
                self.assertIsNone(key.animation_data.action.fcurves.find(
                    key.key_blocks["A"].path_from_id("value")))  # the decoy letter is unmapped
                eased = "ease_frames" in options
                for frame, shape in SHAPE_AT.items():
                    if eased and frame not in (0, 2, 12):
                        continue  # near a change each mouth is fully on only on its own frames
                    for index, name in mouths.items():
                        curve = self.curve(key, key.key_blocks[name].path_from_id("value"))
                        self.assertEqual(curve.evaluate(1 + frame), float(index == shape),
                                         (frame, name))
                if how == "held":  # A stays on a frame before it leaves, as long as it can
                    curve = self.curve(key, key.key_blocks["mouth_A"].path_from_id("value"))
                    self.assertEqual([tuple(p.co) for p in curve.keyframe_points],
                                     [(1, 0.0), (2, 0.0), (3, 1.0), (4, 1.0), (5, 0.0)])
                elif eased:  # D (Vokra frame 5) eases in from frame 3, after the rest at 4
                    for frame, name in ((2, "mouth_A"), (5, "mouth_D"), (6, "mouth_C")):
                        curve = self.curve(key, key.key_blocks[name].path_from_id("value"))
                        self.assertEqual(curve.evaluate(1 + frame), 1.0)
                    curve = self.curve(key, key.key_blocks["mouth_D"].path_from_id("value"))
                    self.assertEqual([tuple(p.co) for p in curve.keyframe_points],
                                     [(1, 0.0), (4, 0.0), (6, 1.0), (7, 0.0)])
                    self.assertTrue(0.0 < curve.evaluate(5) < 1.0)
                    self.assertEqual({p.interpolation for p in curve.keyframe_points}, {'BEZIER'})

    def test_armature_poses_from_actions_keyed_on_the_bones(self):
        for options in ({"pose_action_pattern": "pose_{}"}, {"ease_frames": 1}):
            with self.subTest(options):
                self.fresh()
                rig = add_armature()
                pose_action(rig, "pose_A", 0.0, 0.1)
                pose_action(rig, "pose_D", -0.5, 0.4, at=1)
                pose_action(rig, "pose_C", -0.3)  # no lip: the lip rests (0)
                if "pose_action_pattern" not in options:  # the mapping kept with the rig
                    for letter in "ADC":
                        setattr(rig.vokra_mapping, "pose_" + letter, "pose_" + letter)
                result = bpy.ops.import_anim.vokra_shapes(
                    filepath=self.write("s.json", SHAPES), **options)
                self.assertEqual(result, {'FINISHED'})
                jaw = rig.animation_data.action.fcurves.find('pose.bones["jaw"].location', index=2)
                lip = rig.animation_data.action.fcurves.find('pose.bones["lip"].rotation_euler')
                expected_jaw = {0: 0.0, 3: -0.5, 2: -0.3, 8: 0.0}  # X has no action: rest
                expected_lip = {0: 0.1, 3: 0.4, 2: 0.0, 8: 0.0}
                for frame, shape in SHAPE_AT.items():
                    self.assertAlmostEqual(jaw.evaluate(1 + frame), expected_jaw[shape], 5, frame)
                    self.assertAlmostEqual(lip.evaluate(1 + frame), expected_lip[shape], 5, frame)
                self.assertEqual(jaw.group.name, "jaw")
                bpy.context.scene.frame_set(1 + 5)
                self.assertAlmostEqual(rig.pose.bones["jaw"].location.z, -0.5, 5)
                if options.get("ease_frames"):
                    self.assertTrue(-0.5 < jaw.evaluate(1 + 5.5) < -0.3)  # D easing into C

    def test_bake_to_nla_puts_the_mouths_in_strips_of_their_own(self):
        key = self.mouth_keys(("A", "D", "C", "X"))
        self.obj["vokra_shape"] = 8
        self.obj.keyframe_insert('["vokra_shape"]', frame=100)  # an action the user keeps
        kept = self.obj.animation_data.action
        bpy.ops.import_anim.vokra_shapes(filepath=self.write("line.json", SHAPES), bake_nla=True)
        self.assertIs(self.obj.animation_data.action, kept)
        self.assertEqual(len(kept.fcurves.find('["vokra_shape"]').keyframe_points), 1)
        for id_data, path in ((self.obj, '["vokra_shape"]'),
                              (key, key.key_blocks["D"].path_from_id("value"))):
            tracks = id_data.animation_data.nla_tracks
            self.assertEqual([t.name for t in tracks], ["Vokra line"])
            strip = tracks[0].strips[0]
            self.assertEqual(strip.frame_start, 1)
            curve = strip.action.fcurves.find(path)
            for frame, shape in SHAPE_AT.items():
                value = curve.evaluate(1 + frame)
                self.assertEqual(value, shape if path.startswith('["') else float(shape == 3))
        self.assertIsNone(key.animation_data.action)
        # The opening too, in a track of its own beside the mouths'.
        bpy.ops.import_anim.vokra_keys(filepath=self.write("open.json", KEYS), bake_nla=True)
        self.assertIsNone(key.animation_data.action)
        self.assertEqual([t.name for t in key.animation_data.nla_tracks],
                         ["Vokra line", "Vokra open"])
        curve = key.animation_data.nla_tracks[1].strips[0].action.fcurves[0]
        for frame, opening in EXPECTED:
            self.assertAlmostEqual(curve.evaluate(1 + frame), opening, places=5)
        bpy.context.scene.frame_set(1 + 5)
        self.assertEqual(key.key_blocks["D"].value, 1.0)  # the strip plays
        tracks = key.animation_data.nla_tracks
        tracks[0].mute = True
        key.key_blocks["D"].value = 0.25
        bpy.context.scene.frame_set(1 + 6)
        bpy.context.scene.frame_set(1 + 5)
        self.assertEqual(key.key_blocks["D"].value, 0.25)  # and mutes


def make_library(case):
    """A library file holding a mesh with shape keys (the cube) and an armature."""
    library = os.path.join(case.dir, "library.blend")
    case.obj.shape_key_add(name="Basis")
    case.obj.shape_key_add(name="A")
    case.obj["vokra_open"] = 0.0
    case.obj.keyframe_insert('["vokra_open"]', frame=1)  # the action CubeAction
    add_armature("LinkedRig")
    bpy.ops.wm.save_as_mainfile(filepath=library, copy=True)
    case.fresh()
    return library


def link(library, kind, name):
    with bpy.data.libraries.load(library, link=True) as (_source, target):
        setattr(target, kind, [name])
    return getattr(target, kind)[0]  # the linked one, not a local ID of the same name


def make_active(obj):
    if obj.name not in bpy.context.scene.collection.objects:
        bpy.context.scene.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj


def local_object(data):
    return bpy.data.objects.new("Local", data)


class Faults(Case):
    def test_linked_data_is_refused_naming_what_is_linked(self):
        keys = lambda: bpy.ops.import_anim.vokra_keys(  # noqa: E731
            filepath=self.write("k.json", KEYS), target='SHAPE_KEY')
        shapes = lambda: bpy.ops.import_anim.vokra_shapes(  # noqa: E731
            filepath=self.write("s.json", SHAPES))
        def with_action(lib):
            obj = local_object(None)
            obj.animation_data_create().action = link(lib, "actions", "CubeAction")
            return obj

        property_keys = lambda: bpy.ops.import_anim.vokra_keys(  # noqa: E731
            filepath=self.write("k.json", KEYS), target='PROPERTY')
        # (what is linked, the active object made from the library, the import, the message)
        for name, active, action, message in (
                ("action", with_action, property_keys, "The action 'CubeAction' is linked"),
                ("mesh: keys", lambda lib: local_object(link(lib, "meshes", "Cube")), keys,
                 "The mesh 'Cube' is linked from the library"),
                ("mesh: shapes", lambda lib: local_object(link(lib, "meshes", "Cube")), shapes,
                 "The mesh 'Cube' is linked"),
                ("object", lambda lib: link(lib, "objects", "Cube"), shapes,
                 "The mesh object 'Cube' is linked"),
                ("armature", lambda lib: link(lib, "objects", "LinkedRig"), shapes,
                 "The armature object 'LinkedRig' is linked")):
            with self.subTest(name):
                self.fresh()
                make_active(active(make_library(self)))
                before = (len(bpy.data.actions), list(bpy.context.view_layer.objects.active.keys()))
                with self.assertRaises(RuntimeError) as raised:
                    action()
                self.assertIn(message, str(raised.exception))
                self.assertEqual((len(bpy.data.actions),
                                  list(bpy.context.view_layer.objects.active.keys())), before)

    def test_numbers_of_any_size_are_reported_not_raised(self):
        digits = "9" * 310
        for name, text, message in (
                ("frame", '{"frameRate": 24, "keys": [{"frame": %s, "opening": 1}]}' % digits,
                 "(999999... (310 digits)) is outside"),
                ("rate", '{"frameRate": -%s, "keys": []}' % digits, "-999999... (310 digits)"),
                ("cue", '{"mouthCues": [{"start": 0, "end": %s, "value": "A"}]}' % digits,
                 "The end of cue 1"),
                ("opening 1e400", '{"frameRate": 24, "keys": [{"frame": 1, "opening": 1e400}]}',
                 "(inf) is outside")):
            with self.subTest(name):
                with self.assertRaises(RuntimeError) as raised:
                    bpy.ops.import_anim.vokra_shapes(filepath=self.write("n.json", text))
                self.assertIn(message, str(raised.exception))

    def test_mapping_names_that_match_nothing(self):
        rig = add_armature()
        pose_action(rig, "pose_A", 0.0)
        alien = bpy.data.actions.new("pose_D")
        alien.fcurves.new('pose.bones["tail"].location', index=0).keyframe_points.insert(1, 1)
        for options, message in (({"pose_action_pattern": "nothing_{}"}, "None of the pose "
                                   "actions nothing_A ... nothing_X exists"),
                                 ({"pose_action_pattern": "pose_{}"}, "keys the bone 'tail'"),
                                 ({"pose_action_pattern": "pose_"}, "needs exactly one {}"),
                                 ({"shape_key_pattern": "m_{}"}, "has none of the shape keys")):
            with self.subTest(options):
                with self.assertRaises(RuntimeError) as raised:
                    bpy.ops.import_anim.vokra_shapes(filepath=self.write("s.json", SHAPES),
                                                     **options)
                self.assertIn(message, str(raised.exception))
                self.assertIsNone(rig.animation_data)


def bad_inputs(case):
    """(name, what to do, part of the message)"""
    w, k = case.write, KEYS["keys"]
    fifo = os.path.join(case.dir, "fifo.json")
    os.mkfifo(fifo)
    keys = lambda **c: bpy.ops.import_anim.vokra_keys(**c)  # noqa: E731
    return [
        ("not JSON", lambda: keys(filepath=w("a.json", "frame,opening\n1,0.5")), "not a JSON"),
        ("a list", lambda: keys(filepath=w("b.json", [1, 2])), "not a Vokra keys file"),
        ("rate 0", lambda: keys(filepath=w("c.json", dict(KEYS, frameRate=0))), "outside 1"),
        ("rate text", lambda: keys(filepath=w("d.json", dict(KEYS, frameRate="24"))),
         "not a number"),
        ("opening 2.5", lambda: keys(filepath=w("e.json", dict(KEYS, keys=[
            {"frame": 1, "opening": 2.5}]))), "outside 0 to 2"),
        ("NaN", lambda: keys(filepath=w("f.json", '{"frameRate": 24, "keys": [{"frame": 1, '
                                                  '"opening": NaN}]}')), "not a JSON"),
        ("half frame", lambda: keys(filepath=w("g.json", dict(KEYS, keys=[
            {"frame": 1.5, "opening": 1}]))), "not a whole frame"),
        ("out of order", lambda: keys(filepath=w("h.json", dict(KEYS, keys=k[::-1]))),
         "not after the key"),
        ("bad shape", lambda: bpy.ops.import_anim.vokra_shapes(filepath=w("i.json", dict(
            KEYS, shapes=[{"frame": 1, "shape": "Q"}]))), "not one of the mouths"),
        ("no shapes", lambda: bpy.ops.import_anim.vokra_shapes(filepath=w("j.json", KEYS)),
         "holds no mouth shapes"),
        ("FIFO", lambda: keys(filepath=fifo), "not a regular file"),
        ("missing", lambda: keys(filepath=os.path.join(case.dir, "none.json")), "Cannot open"),
        ("past Blender's frames", lambda: keys(filepath=w("k.json", KEYS),
                                               frame_offset=1048570), "last frame"),
        ("text property", lambda: (case.obj.__setitem__("vokra_open", "x"), keys(
            filepath=w("l.json", KEYS), target='PROPERTY')), "other than a number"),
        ("no vokra-cli", lambda: (setattr(case.prefs, "cli_path", "/nonexistent/vokra-cli"),
                                  keys(filepath=w("m.vok", "VOK"))), "vokra-cli was not found"),
        ("vokra-cli fails", lambda: (case.fake_cli("echo 'cannot read m.vok' >&2; exit 1"),
                                     keys(filepath=w("n.vok", "VOK"))), "cannot read m.vok"),
        ("vokra-cli writes junk", lambda: (case.fake_cli("echo junk"),
                                           keys(filepath=w("o.vok", "VOK"))), "not a JSON"),
        ("vokra-cli prints nothing", lambda: (case.fake_cli("exit 0"),
                                              keys(filepath=w("p.vok", "VOK"))),
         "printed nothing for p.vok"),
    ]


class BadInput(Case):
    def test_clear_message_and_scene_unchanged(self):
        for name, action, message in bad_inputs(self):
            with self.subTest(name):
                before = self.snapshot()
                try:
                    with self.assertRaises(RuntimeError) as raised:
                        action()
                finally:
                    self.obj.pop("vokra_open", None)  # set by one case on purpose
                self.assertIn(message, str(raised.exception))
                self.assertEqual(self.snapshot(), before)

    def test_mangled_files_give_only_clear_errors(self):
        from vokra_blender import vokra_data
        text = json.dumps(SHAPES)
        rng = random.Random(20)
        for _ in range(400):
            chars = list(text)
            for _ in range(rng.randint(1, 4)):
                chars[rng.randrange(len(chars))] = rng.choice('0-9.e"[]{},:XQ ')
            try:
                doc = vokra_data.parse_document(vokra_data.parse_json_text(
                    "".join(chars).encode(), "m"), "m")
                if isinstance(doc, vokra_data.VokraKeys):
                    vokra_data.key_points(doc, 1, 25.0)
                vokra_data.shape_points(doc, 1, 25.0)
            except vokra_data.VokraDataError:
                pass


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


GROUPS = {"import": (ImportKeys, ImportShapes, BadInput), "rigs": (Rigs, Faults),
          "sequencer": (Sequencer,),
          "package": (Package,)}

if __name__ == "__main__":
    args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else list(GROUPS)
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(case)
                               for group in args for case in GROUPS[group])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        raise SystemExit(1)
