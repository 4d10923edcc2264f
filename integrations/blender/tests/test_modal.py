# The add-on with Blender's interface running (under Xvfb): vokra-cli hangs, Blender keeps drawing,
# Esc ends the tool and its children and leaves the scene as it was; the preferences' Check runs
# in the background too; undo, redo, a deletion or a file load while the tool runs never crash
# Blender and end the run cleanly. Run as
#   xvfb-run blender --factory-startup -noaudio --enable-event-simulate --python test_modal.py
# Events are simulated, so nothing typed on the display reaches it; the exit status is the result.
import os
import shutil
import sys
import tempfile
import time
import traceback
import wave

import addon_utils
import bpy

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
addon_utils.enable("vokra_blender", default_set=True, handle_error=None)
import vokra_blender  # noqa: E402  (after the add-on is on the path)

FOLDER = tempfile.mkdtemp(prefix="vokra-modal-")
PID = os.path.join(FOLDER, "pid")
VOICE = os.path.join(FOLDER, "voice.wav")
HELP = '[ "$1" = --help ] && echo "vokra-cli autokey SOUND [--shapes]" && exit 0\n'
# (name, the hung tool's script after its --help answer): with exec the tool is the sleep; without
# it the shell waits on a child that holds the output open.
ARGS = os.path.join(FOLDER, "args")
HANGS = [("exec", f'printf "%s\\n" "$@" > {ARGS}; echo $$ > {PID}; exec sleep 60'),
         ("child", f'printf "%s\\n" "$@" > {ARGS}; sleep 60 & echo $! > {PID}; wait')]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def process_gone(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] in "ZX"  # ended, not yet reaped
    except FileNotFoundError:
        return True


def window():
    return bpy.context.window_manager.windows[0]


def fake_cli(body):
    path = os.path.join(FOLDER, "fake-cli")
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, 0o755)
    prefs = bpy.context.preferences.addons["vokra_blender"].preferences
    prefs.cli_path, prefs.timeout = path, 120.0


def snapshot():
    obj, scene = bpy.context.view_layer.objects.active, bpy.context.scene
    editor = scene.sequence_editor
    return (sorted(k for k in obj.keys() if k != "vokra_mapping"), obj.animation_data is not None,
            len(bpy.data.actions), editor is not None and len(editor.sequences_all))


def wait_until(condition, seconds):
    """A generator step: yields timer intervals until `condition()` or the time is up."""
    end = time.monotonic() + seconds
    while not condition() and time.monotonic() < end:
        yield 0.1


def ops(operator, **options):
    """Runs an operator as from the 3D view of the window."""
    area = next(a for a in window().screen.areas if a.type == 'VIEW_3D')
    region = next(r for r in area.regions if r.type == 'WINDOW')
    with bpy.context.temp_override(window=window(), area=area, region=region):
        return operator(**options)


def keyed():
    """Whether the cube's opening shape key is keyed (the cube found again after each undo)."""
    cube = bpy.data.objects.get("Cube")
    key = cube.data.shape_keys if cube is not None else None
    return key is not None and key.animation_data is not None


def gated_cli(case):
    """A tool that keys only once GO exists (and says which case it is, so no result is reused)."""
    keys = '{"frameRate": 24, "keys": [{"frame": 2, "opening": 1}, {"frame": 30, "opening": 0}]}'
    fake_cli(f"# {case}\n{HELP}echo $$ > {PID}; while [ ! -e {GO} ]; do sleep 0.05; done; "
             f"while [ $# -gt 0 ] && [ \"$1\" != -o ]; do shift; done; echo '{keys}' > \"$2\"")
    for path in (PID, GO):
        if os.path.exists(path):
            os.remove(path)


GO = os.path.join(FOLDER, "go")
HANDLERS = ("undo_post", "redo_post", "load_pre")


def handler_counts():
    return [len(getattr(bpy.app.handlers, name)) for name in HANDLERS]


def undo_scenario():
    """Undo, redo and deletions while Key with Vokra waits, and undo and redo after it."""
    outcome = vokra_blender.running.outcome
    handlers = handler_counts()
    cube = lambda: bpy.data.objects.get("Cube")  # noqa: E731  (found again after each undo)
    # (case, what happens while the tool runs, what the run ends with)
    for case, meddle, expected in (
            ("undo past the strip", lambda: ops(bpy.ops.ed.undo),
             "the sound strip 'voice' is gone (an undo took it away"),
            ("undo and redo", lambda: (ops(bpy.ops.ed.undo), ops(bpy.ops.ed.redo)), "Vokra keyed"),
            ("strip removed", lambda: bpy.context.scene.sequence_editor.sequences.remove(
                bpy.context.scene.sequence_editor.sequences["voice"]),
             "the sound strip 'voice' is gone (it was deleted"),
            ("object deleted", lambda: bpy.data.objects.remove(cube()),
             "the object 'Cube' is gone (it was deleted")):
        ops(bpy.ops.wm.read_homefile, use_empty=False)  # the Cube, active
        ops(bpy.ops.ed.undo_push, message="before the strip")
        scene = bpy.context.scene
        strip = scene.sequence_editor_create().sequences.new_sound("voice", VOICE, 2, 1)
        strip.select = True
        ops(bpy.ops.ed.undo_push, message="the strip")
        gated_cli(case)
        outcome["last"] = None
        with bpy.context.temp_override(window=window()):
            result = bpy.ops.sequencer.vokra_autokey('INVOKE_DEFAULT')
        check(result == {'RUNNING_MODAL'}, f"{case}: the run goes on in the background")
        yield from wait_until(lambda: os.path.exists(PID) and os.path.getsize(PID), 10)
        del strip, scene  # freed by what comes next
        meddle()
        open(GO, "w").close()
        yield from wait_until(lambda: outcome["last"] is not None, 10)
        text = outcome["last"][0] if outcome["last"] else "nothing"
        check(expected in text, f"{case}: the run ends with '{expected}', not: {text}")
        check(keyed() == (expected == "Vokra keyed"), f"{case}: keys only when nothing was lost")
        check(handler_counts() == handlers, f"{case}: the run's handlers are gone")
        yield 0.2
        if keyed():  # after a run: undo takes the keys away, redo brings them back
            ops(bpy.ops.ed.undo)
            check(cube() is not None and not keyed(), "undo after a run")
            ops(bpy.ops.ed.redo)
            check(keyed(), "redo after a run")
    # A file opened while the tool runs: the tool is ended, nothing is keyed.
    ops(bpy.ops.wm.read_homefile, use_empty=False)
    gated_cli("load")
    with bpy.context.temp_override(window=window()):
        bpy.ops.sequencer.vokra_autokey('INVOKE_DEFAULT', filepath=VOICE)
    yield from wait_until(lambda: os.path.exists(PID) and os.path.getsize(PID), 10)
    pid = int(open(PID).read())
    ops(bpy.ops.wm.read_homefile, use_empty=False)
    yield from wait_until(lambda: process_gone(pid), 5)
    check(process_gone(pid), "a file load ends the tool")
    check(not keyed() and handler_counts() == handlers,
          "a file load keys nothing and leaves no handlers")


def scenario():
    with wave.open(VOICE, "wb") as w:
        w.setnchannels(1), w.setsampwidth(2), w.setframerate(16000)
        w.writeframes(b"\0\0" * 8000)
    for name, body in HANGS:
        if os.path.exists(PID):
            os.remove(PID)
        fake_cli(HELP + body)
        before = snapshot()
        started = time.monotonic()
        with bpy.context.temp_override(window=window()):
            result = bpy.ops.sequencer.vokra_autokey('INVOKE_DEFAULT', filepath=VOICE)
        check(result == {'RUNNING_MODAL'} and time.monotonic() - started < 1.0,
              f"{name}: the run goes on in the background")
        yield from wait_until(lambda: os.path.exists(PID) and os.path.getsize(PID), 10)
        check(os.path.exists(PID), f"{name}: the tool started")
        pid = int(open(PID).read())
        paused = time.monotonic()
        yield 1.0  # Blender's own loop calls back here: it is not held up by the tool
        check(time.monotonic() - paused < 5.0, f"{name}: Blender's event loop kept running")
        check(not process_gone(pid), f"{name}: the tool hangs until Esc")
        window().event_simulate(type='ESC', value='PRESS')
        window().event_simulate(type='ESC', value='RELEASE')
        yield from wait_until(lambda: process_gone(pid), 5)
        check(process_gone(pid), f"{name}: Esc ended the tool and its children")
        check(snapshot() == before, f"{name}: the scene is unchanged after Esc")
        with open(ARGS) as f:
            args = f.read().split("\n")
        run_folder = os.path.dirname(args[args.index("-o") + 1])
        check(not os.path.exists(run_folder), f"{name}: the run's private folder is gone")
    # A .vok chosen in the file browser: the import goes on in the background, and Esc ends it.
    document = os.path.join(FOLDER, "line.vok")
    with open(document, "w") as f:
        f.write("VOK")
    os.remove(PID)
    fake_cli(HANGS[0][1])
    before = snapshot()
    with bpy.context.temp_override(window=window()):
        result = bpy.ops.import_anim.vokra_keys('EXEC_DEFAULT', filepath=document, browsed=True)
    check(result == {'CANCELLED'}, "the browsed .vok import hands over to a background run")
    yield from wait_until(lambda: os.path.exists(PID) and os.path.getsize(PID), 10)
    pid = int(open(PID).read())
    check(not process_gone(pid), "the .vok's export runs")
    window().event_simulate(type='ESC', value='PRESS')
    window().event_simulate(type='ESC', value='RELEASE')
    yield from wait_until(lambda: process_gone(pid), 5)
    check(process_gone(pid) and snapshot() == before, ".vok: Esc ended the export, scene kept")
    # The preferences' Check on a tool that prints junk: a clear finding, in the background.
    fake_cli("echo 'Segmentation f@ult %%%'")
    with bpy.context.temp_override(window=window()):
        bpy.ops.preferences.vokra_check('INVOKE_DEFAULT')
    state = vokra_blender._checked
    yield from wait_until(lambda: state["state"] and state["state"][1] != 'TIME', 10)
    check(state["state"] and state["state"][1] == 'ERROR' and "does not look like vokra-cli" in
          state["state"][0], f"Check reports a tool that is not vokra-cli: {state['state']}")
    yield from undo_scenario()


def driver(steps=scenario()):
    try:
        return next(steps)
    except StopIteration:
        pass
    except Exception:
        traceback.print_exc()
        failures.append("the scenario raised")
    shutil.rmtree(FOLDER, ignore_errors=True)
    print("modal tests:", "FAILED " + "; ".join(failures) if failures else "OK", file=sys.stderr)
    sys.stderr.flush()
    os._exit(1 if failures else 0)  # quitting from a timer would wait for the event loop


def give_up():
    print("modal tests: FAILED (timed out)", file=sys.stderr)
    os._exit(1)


# Persistent: the undo cases open the start-up file again.
bpy.app.timers.register(driver, first_interval=1.0, persistent=True)
bpy.app.timers.register(give_up, first_interval=120.0, persistent=True)
