# Mouths on any rig: shape keys of any name, armature poses from actions; linked data refused.
import os
import sys

import bpy

from blender_case import Case, EXPECTED, KEYS, SHAPE_AT, SHAPES


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
                elif eased:  # D (Vokra frame 5) eases in as the rest (frame 4) eases out
                    for frame, name in ((2, "mouth_A"), (5, "mouth_D"), (6, "mouth_C")):
                        curve = self.curve(key, key.key_blocks[name].path_from_id("value"))
                        self.assertEqual(curve.evaluate(1 + frame), 1.0)
                    curve = self.curve(key, key.key_blocks["mouth_D"].path_from_id("value"))
                    self.assertEqual([tuple(p.co) for p in curve.keyframe_points],
                                     [(1, 0.0), (5, 0.0), (6, 1.0), (7, 0.0)])
                    self.assertTrue(0.0 < curve.evaluate(5.5) < 1.0)
                    self.assertEqual({p.interpolation for p in curve.keyframe_points}, {'SINE'})

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

    def test_a_pose_action_left_active_is_never_keyed(self):
        shapes = lambda: bpy.ops.import_anim.vokra_shapes(  # noqa: E731
            filepath=self.write("s.json", SHAPES))
        keys = lambda: bpy.ops.import_anim.vokra_keys(  # noqa: E731
            filepath=self.write("k.json", KEYS))
        for name, run, path in (("shapes", shapes, '["vokra_shape"]'),
                                ("keys", keys, '["vokra_open"]')):
            with self.subTest(name):
                self.fresh()
                rig = add_armature()
                poses = [pose_action(rig, "pose_" + c, z) for c, z in (("A", 0.0), ("D", -0.5))]
                bpy.ops.object.vokra_mapping_preset(preset='PREFIX')  # pose_ on an armature
                self.assertEqual(rig.vokra_mapping.pose_D, "pose_D")
                pose_keys = lambda: [[tuple(p.co) for c in a.fcurves  # noqa: E731
                                      for p in c.keyframe_points] for a in poses]
                before = pose_keys()
                for _ in range(2):  # keying the last pose leaves it active, each time
                    rig.animation_data_create().action = poses[1]
                    self.assertEqual(run(), {'FINISHED'})
                self.assertEqual(pose_keys(), before)
                own = rig.animation_data.action
                self.assertEqual(own.name, "Rig Lip Sync")
                self.assertIsNotNone(own.fcurves.find(path))
                self.assertEqual([a.name for a in bpy.data.actions if "Lip Sync" in a.name],
                                 ["Rig Lip Sync"])  # found again, not made twice

    def test_the_report_names_the_mouths_without_a_shape_key(self):
        outcome = sys.modules["vokra_blender"].running.outcome
        for names, text, icon in (
                ("ABCDEFGX", "8 of the nine mouths have a shape key (none for H (L))",
                 'CHECKMARK'),
                ("", "0 of the nine mouths have a shape key, so only the vokra_shape property was "
                     "keyed", 'ERROR')):  # a warning that stays in the sidebar
            with self.subTest(names):
                self.fresh()
                if names:
                    self.mouth_keys(tuple(names))
                bpy.ops.import_anim.vokra_shapes(filepath=self.write("s.json", SHAPES))
                self.assertIn(text, outcome["last"][0])
                self.assertEqual(outcome["last"][1], icon)

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
