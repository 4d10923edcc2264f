# Operators that call vokra-cli never make Blender wait for it: invoked from the interface, they
# start the tool in the background, poll it on a timer, show how long it has run in the status
# bar and stop it on Esc with nothing changed. Run from a script (EXEC), they wait, within the
# same time limit. While a run waits, an undo, a redo or a file load can free any Blender data:
# jobs keep names only (operators.Held) and are told what happened.
import bpy
from bpy.props import BoolProperty

from . import vokra_cli
from .vokra_data import VokraDataError

POLL_SECONDS = 0.1


def preferences(context):
    addon = context.preferences.addons.get(__package__)
    return addon.preferences if addon is not None else None


def cli_tool(context):
    prefs = preferences(context)
    return vokra_cli.find_tool(prefs.cli_path if prefs is not None else "")


def time_limit(context):
    prefs = preferences(context)
    return prefs.timeout if prefs is not None else 300.0


# The last run's outcome, kept for the sidebar until the next run: (text, icon).
outcome = {"last": None}


def keep_outcome(text, icon):
    outcome["last"] = (text, icon)
    for window in getattr(bpy.context.window_manager, "windows", ()):
        for area in window.screen.areas:
            if area.type == 'VIEW_3D':
                area.tag_redraw()


class Watch:
    """Notes undo, redo and file loads while a job waits for vokra-cli, through handlers that
    exist only for the run."""

    EVENTS = (("undo_post", "an undo"), ("redo_post", "a redo"), ("load_pre", "a file was opened"))

    def __init__(self, on_load):
        self.why = None
        self._on_load = on_load
        self._handlers = []
        for event, why in self.EVENTS:
            handler = self._handler(why, event == "load_pre")
            getattr(bpy.app.handlers, event).append(handler)
            self._handlers.append((event, handler))

    def _handler(self, why, loading):
        def noted(*_args):
            self.why = why
            if loading:
                self._on_load()
        return noted

    def remove(self):
        for event, handler in self._handlers:
            handlers = getattr(bpy.app.handlers, event)
            if handler in handlers:
                handlers.remove(handler)
        self._handlers = []


class RateMismatch(Exception):
    def __init__(self, doc_rate, scene_rate):
        super().__init__(f"The document runs at {doc_rate:g} frames per second and the scene at "
                         f"{scene_rate:g}: set the scene's rate, or re-time the keys "
                         "(Set Scene Rate or Other Rate in the import options).")
        self.doc_rate, self.scene_rate = doc_rate, scene_rate


class Background:
    """Mixin for an operator with a job(folder) generator: it yields vokra-cli's arguments, gets
    back the output, changes the scene only after its last call and returns the report."""

    # Set by invoke before a file browser: the execute that follows goes on in the background.
    browsed: BoolProperty(default=False, options={'HIDDEN', 'SKIP_SAVE'})
    in_background: BoolProperty(default=False, options={'HIDDEN', 'SKIP_SAVE'})

    _run = None
    _timer = None
    _watch = None
    # What the status bar says runs, e.g. "keying voice.wav".
    activity = "running vokra-cli"
    # Whether the sidebar shows how the run ended (keying and imports, not the tool's check).
    shows_outcome = True

    def start(self, context):
        self.take_sidebar_options(context)
        self._tool = cli_tool(context) if self.needs_tool() else None
        self._run = vokra_cli.Run(self._tool, self.job, time_limit(context))

    def keep(self, text, icon):
        if self.shows_outcome:
            keep_outcome(text, icon)

    def take_sidebar_options(self, context):
        """Options the caller left unset come from the sidebar, their one home."""

    def disturbed(self):
        """What happened while the job waited that may have freed its data, or None."""
        return self._watch.why if self._watch is not None else None

    def needs_tool(self):
        return True

    def fail(self, context, error):
        if isinstance(error, RateMismatch):
            self.offer_rates(context, error)
        else:
            self.report({'ERROR'}, str(error))
            self.keep(str(error), 'ERROR')
        return {'CANCELLED'}

    def done(self):
        """Reports the job's result: its text, or (level, text) for a warning that should stay
        in sight."""
        result = self._run.result
        level, text = result if isinstance(result, tuple) else ('INFO', result)
        self.report({level}, text)
        self.keep(text, 'ERROR' if level == 'WARNING' else 'CHECKMARK')
        self._run = None
        return {'FINISHED'}

    def execute(self, context):
        if self.browsed and context.window is not None and not bpy.app.background and \
                self.needs_tool():
            # After the file browser: go on in the background as if invoked directly.
            self.take_sidebar_options(context)  # before the values are handed on
            values = {p.identifier: getattr(self, p.identifier)
                      for p in self.properties.bl_rna.properties
                      if p.identifier not in ("rna_type", "browsed") and not p.is_readonly}
            values["in_background"] = True
            # An instance gives its name as IMPORT_ANIM_OT_vokra_keys, its class as
            # import_anim.vokra_keys.
            group, name = self.bl_idname.lower().replace("_ot_", ".").split(".")
            getattr(getattr(bpy.ops, group), name)('INVOKE_DEFAULT', **values)
            return {'CANCELLED'}  # this call changed nothing; the background one reports
        try:
            self.start(context)
            self._run.wait()
        except (VokraDataError, RateMismatch, OSError) as e:
            return self.fail(context, e)
        return self.done()

    def run_in_background(self, context):
        self._watch = Watch(self._file_loading)
        try:
            self.start(context)
        except (VokraDataError, RateMismatch, OSError) as e:
            self._end_watch()
            return self.fail(context, e)
        if self._run.finished:
            self._end_watch()
            return self.done()  # a file that needed no tool
        wm = context.window_manager
        self._timer = wm.event_timer_add(POLL_SECONDS, window=context.window)
        wm.modal_handler_add(self)
        self.show_progress(context)
        return {'RUNNING_MODAL'}

    def show_progress(self, context):
        if context.workspace is not None:
            context.workspace.status_text_set(
                f"Vokra: {self.activity}, {self._run.elapsed():.0f} s of at most "
                f"{self._run.timeout:g} s. Esc cancels.")

    def _end_watch(self):
        if self._watch is not None:
            self._watch.remove()
            self._watch = None

    def _file_loading(self):
        """Another file replaces this one: the tool is ended at once, nothing is keyed."""
        if self._run is not None:
            self._run.close()
            self._run = None
        self.keep("Vokra cancelled: a file was opened while vokra-cli ran, so nothing was "
                  "keyed.", 'ERROR')

    def stop(self, context):
        self._end_watch()
        if self._timer is not None:
            context.window_manager.event_timer_remove(self._timer)
            self._timer = None
        if context.workspace is not None:
            context.workspace.status_text_set(None)
        if self._run is not None and not self._run.finished:
            self._run.close()
            self._run = None

    def modal(self, context, event):
        if self._run is None:  # ended by a file load
            self.stop(context)
            return {'CANCELLED'}
        if event.type == 'ESC' and event.value == 'PRESS':
            self.stop(context)
            text = "Vokra cancelled: vokra-cli was stopped and nothing was changed."
            self.report({'WARNING'}, text)
            self.keep(text, 'INFO')
            return {'CANCELLED'}
        if event.type != 'TIMER':
            return {'PASS_THROUGH'}
        try:
            finished = self._run.tick()
        except (VokraDataError, RateMismatch, OSError) as e:
            self.stop(context)
            return self.fail(context, e)
        if not finished:
            self.show_progress(context)
            return {'PASS_THROUGH'}  # other timers of the window run on
        self.stop(context)
        return self.done()

    def cancel(self, context):
        self.stop(context)  # Blender ends the operator (a file loaded, the window closed)
