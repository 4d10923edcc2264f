# Importing keys and shapes into Blender, and the bad files the importer must refuse.
import json
import math
import os
import random

import bpy

from blender_case import Case, EXPECTED, KEYS, SHAPE_AT, SHAPES


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
