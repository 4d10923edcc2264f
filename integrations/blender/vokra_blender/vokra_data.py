# Reading what vokra-cli writes (the keys JSON and the mouth-cue JSON) and turning it into
# points on Blender frames. Nothing here touches Blender, so a file is checked completely before
# the scene is changed, and the same code runs outside Blender.
import json
import math
import os
import stat

# Vokra's limits: frame rates 1 to 100 per second, openings 0.0 to 2.0 (1.0 is 100 %).
MIN_RATE, MAX_RATE = 1.0, 100.0
MAX_OPENING = 2.0
# Blender keeps keys within +-1048574 frames; a Vokra frame beyond that cannot be placed.
MAX_BLENDER_FRAME = 1048574
# A Vokra document holds at most about 100,000 keys (about 6 MB of JSON); anything much larger
# is not a Vokra file and is refused before it is read into memory.
MAX_FILE_BYTES = 64 * 1024 * 1024
# The longest recording a mouth-cue file may describe, in seconds (Vokra takes 1000 s at most).
MAX_CUE_SECONDS = 100000.0

SHAPE_LETTERS = "ABCDEFGHX"
SHAPE_NAMES = ("MBP", "etc", "E", "AI", "O", "U", "FV", "L", "rest")
REST = SHAPE_LETTERS.index("X")
# Two rates closer than this are the same rate: Vokra's 29.97 and Blender's 30/1.001 differ by
# 0.0001 %, a hundredth of a frame over Vokra's longest recording.
RATE_TOLERANCE = 1e-5


class VokraDataError(Exception):
    """A file that cannot be imported; the message is meant for the user."""


class KeyPoint:
    __slots__ = ("frame", "value", "kind")

    def __init__(self, frame, value, kind="KEYFRAME"):
        self.frame = frame  # Blender frame (may be fractional for a fractional strip start)
        self.value = value
        self.kind = kind  # Blender keyframe type: hand-made keys EXTREME, the lead-in BREAKDOWN


class VokraKeys:
    """A Vokra keys export: the rate, the keys (frame, opening, hand) and the optional shapes."""

    def __init__(self, frame_rate, sound, keys, shapes):
        self.frame_rate = frame_rate
        self.sound = sound
        self.keys = keys  # [(frame, opening, hand)], ascending frames, lead-in point left out
        self.shapes = shapes  # None, or [(frame, index 0-8)] ascending


class MouthCues:
    """A mouth-cue file: shapes over spans of seconds, independent of any frame rate."""

    def __init__(self, cues):
        self.cues = cues  # [(start, end, index 0-8)] ascending, not overlapping


def check_regular_file(path):
    """The file's status; an error for a missing file or one that is not a regular file (a FIFO
    or a device would block the open or never end)."""
    if not path:
        raise VokraDataError("Choose a file first.")
    try:
        info = os.stat(path)
    except OSError as e:
        raise VokraDataError(f"Cannot open {path}: {e.strerror}.") from None
    if stat.S_ISDIR(info.st_mode):
        raise VokraDataError(f"{path} is a folder: choose a file in it.")
    if not stat.S_ISREG(info.st_mode):
        raise VokraDataError(f"{path} is not a regular file.")
    return info


def read_json_file(path):
    """The parsed JSON of a file, refusing what is not a regular file or is far too large."""
    info = check_regular_file(path)
    if info.st_size > MAX_FILE_BYTES:
        raise VokraDataError(f"{path} is too large for a Vokra file ({info.st_size} bytes).")
    try:
        with open(path, "rb") as f:
            data = f.read(MAX_FILE_BYTES + 1)
    except OSError as e:
        raise VokraDataError(f"Cannot read {path}: {e.strerror}.") from None
    return parse_json_text(data, os.path.basename(path))


def parse_json_text(data, name):
    try:
        return json.loads(data.decode("utf-8"), parse_constant=_reject_constant)
    except (UnicodeDecodeError, ValueError, RecursionError):
        raise VokraDataError(f"{name} is not a JSON file.") from None


def _reject_constant(text):
    raise ValueError(text)  # NaN and Infinity are not JSON


def _shown(value):
    """A number from a file as a message shows it: a huge integer (JSON allows any length, and
    Python's float formatting overflows on it) is cut short."""
    if isinstance(value, int) and abs(value) > 10**15:
        digits = str(abs(value))
        return f"{'-' if value < 0 else ''}{digits[:6]}... ({len(digits)} digits)"
    return f"{value:g}"


def _number(value, what, low, high):
    """A number from a file, checked for its type and range before anything uses it."""
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise VokraDataError(f"{what} is not a number.")
    if not (low <= value <= high):
        raise VokraDataError(f"{what} ({_shown(value)}) is outside {low:g} to {high:g}.")
    return value


def _frame(value, what):
    _number(value, what, 0, MAX_BLENDER_FRAME)
    if value != int(value):
        raise VokraDataError(f"{what} ({value:g}) is not a whole frame.")
    return int(value)


def _shape_index(value, what):
    if isinstance(value, str) and len(value) == 1 and value.upper() in SHAPE_LETTERS:
        return SHAPE_LETTERS.index(value.upper())
    raise VokraDataError(f"{what} ({value!r}) is not one of the mouths A-H and X.")


def _list_of_objects(value, what):
    if not isinstance(value, list) or not all(isinstance(e, dict) for e in value):
        raise VokraDataError(f"{what} is not a list of entries.")
    return value


def parse_document(data, name):
    """Either a keys export (VokraKeys) or a mouth-cue file (MouthCues), checked completely."""
    if isinstance(data, dict) and "mouthCues" in data:
        return parse_mouth_cues(data, name)
    if not isinstance(data, dict) or "keys" not in data or "frameRate" not in data:
        raise VokraDataError(
            f"{name} is not a Vokra keys file (it needs \"frameRate\" and \"keys\").")
    rate = _number(data["frameRate"], "The frame rate", MIN_RATE, MAX_RATE)
    sound = data.get("sound")
    if sound is not None and not isinstance(sound, str):
        raise VokraDataError("The sound file's name is not text.")
    keys = []
    for i, entry in enumerate(_list_of_objects(data["keys"], "\"keys\"")):
        what = f"Key {i + 1}"
        frame = _frame(entry.get("frame"), f"The frame of key {i + 1}")
        opening = _number(entry.get("opening"), f"The opening of key {i + 1}", 0.0, MAX_OPENING)
        if entry.get("leadIn") is True:
            # Vokra's lead-in point; it is put back below whenever the first key is later.
            if i != 0 or frame != 0 or opening != 0:
                raise VokraDataError(f"{what} is marked as the lead-in but is not 0 at frame 0.")
            continue
        if keys and frame <= keys[-1][0]:
            raise VokraDataError(f"{what} (frame {frame}) is not after the key before it.")
        keys.append((frame, float(opening), entry.get("hand") is True))
    shapes = None
    if "shapes" in data:
        shapes = []
        for i, entry in enumerate(_list_of_objects(data["shapes"], "\"shapes\"")):
            frame = _frame(entry.get("frame"), f"The frame of shape {i + 1}")
            if shapes and frame <= shapes[-1][0]:
                raise VokraDataError(f"Shape {i + 1} (frame {frame}) is not after the one before it.")
            shapes.append((frame, _shape_index(entry.get("shape"), f"Shape {i + 1}")))
    return VokraKeys(float(rate), sound, keys, shapes)


def parse_mouth_cues(data, name):
    cues = []
    for i, entry in enumerate(_list_of_objects(data["mouthCues"], "\"mouthCues\"")):
        start = _number(entry.get("start"), f"The start of cue {i + 1}", 0.0, MAX_CUE_SECONDS)
        end = _number(entry.get("end"), f"The end of cue {i + 1}", start, MAX_CUE_SECONDS)
        if cues and start < cues[-1][1] - 1e-9:
            raise VokraDataError(f"Cue {i + 1} starts before the cue before it ends.")
        cues.append((float(start), float(end), _shape_index(entry.get("value"), f"Cue {i + 1}")))
    return MouthCues(cues)


def same_rate(a, b):
    return abs(a - b) <= RATE_TOLERANCE * max(a, b)


def blender_rate(rate):
    """(fps, fps_base) for Blender's scene settings giving `rate`, preferring whole numbers."""
    for base in (1.0, 1.001) + tuple(float(k) for k in range(2, 101)):
        fps = rate * base
        if abs(fps - round(fps)) < 1e-3 * base and 1 <= round(fps) <= 32767:
            return int(round(fps)), base
    fps = max(1, round(rate))
    return fps, fps / rate


def envelope_at(keys, position):
    """Vokra's envelope at a (fractional) Vokra frame: a ramp from 0 at frame 0 to the first key,
    straight lines between keys, the last opening held after the last key."""
    if not keys:
        return 0.0
    lo, hi = 0, len(keys)
    while lo < hi:  # first key later than position
        mid = (lo + hi) // 2
        if keys[mid][0] <= position:
            lo = mid + 1
        else:
            hi = mid
    if lo == len(keys):
        return keys[-1][1]
    f1, o1 = keys[lo][0], keys[lo][1]
    f0, o0 = (keys[lo - 1][0], keys[lo - 1][1]) if lo > 0 else (0, 0.0)
    if f1 == f0:
        return o1
    return o0 + (o1 - o0) * (position - f0) / (f1 - f0)


def key_points(doc, offset, scene_rate=None):
    """The opening keys on Blender frames. Without `scene_rate` Vokra frame n lands on frame
    offset + n; with it the keys are re-timed: one key on each scene frame from the lead-in to
    the last key, holding Vokra's envelope at that frame's time."""
    if not doc.keys:
        return []
    if scene_rate is None:
        points = [] if doc.keys[0][0] == 0 else [KeyPoint(offset, 0.0, "BREAKDOWN")]
        points += [KeyPoint(offset + f, o, "EXTREME" if hand else "KEYFRAME")
                   for f, o, hand in doc.keys]
        return points
    ratio = doc.frame_rate / scene_rate
    count = _frame_count(doc.keys[-1][0] / ratio, offset)
    return [KeyPoint(offset + i, envelope_at(doc.keys, i * ratio)) for i in range(count + 1)]


def shape_points(doc, offset, scene_rate=None):
    """[(Blender frame, shape index)] at each change of mouth from frame `offset` (Vokra's frame 0
    or the time 0 of a cue file) on, and the last frame covered. Frames without a shape show
    rest (X)."""
    values = []
    if isinstance(doc, MouthCues):
        if not doc.cues or scene_rate is None:
            return [], offset
        last = _frame_count(doc.cues[-1][1] * scene_rate, offset)
        cue = 0
        for i in range(last + 1):
            t = i / scene_rate
            while cue + 1 < len(doc.cues) and doc.cues[cue][1] <= t + 1e-9:
                cue += 1
            start, end, index = doc.cues[cue]
            values.append(index if start - 1e-9 <= t < end + 1e-9 or i == last else REST)
    else:
        if not doc.shapes:
            return [], offset
        by_frame = dict(doc.shapes)
        last = doc.shapes[-1][0]
        if scene_rate is None:
            values = [by_frame.get(f, REST) for f in range(last + 1)]
        else:
            ratio = doc.frame_rate / scene_rate
            count = _frame_count(last / ratio, offset)
            values = [by_frame.get(min(last, round(i * ratio)), REST) for i in range(count + 1)]
    changes = []
    for i, index in enumerate(values):
        if not changes or changes[-1][1] != index:
            changes.append((offset + i, index))
    return changes, offset + len(values) - 1


def _frame_count(frames, offset):
    """The last whole frame of a span `frames` long, checked before anything is sized by it."""
    count = math.ceil(frames - 1e-9)
    check_frames([offset, offset + count], offset)
    return count


def check_frames(frames, offset):
    """Refuses keys that would land outside Blender's frame range."""
    if frames and (min(frames) < -MAX_BLENDER_FRAME or max(frames) > MAX_BLENDER_FRAME):
        raise VokraDataError(
            f"With the frame offset {offset:.10g} the keys would pass Blender's last frame "
            f"({MAX_BLENDER_FRAME}).")


def pattern_names(pattern, what):
    """{mouth index: name} from a pattern such as "mouth_{}" ({} becomes the mouth's letter)."""
    if pattern.count("{}") != 1 or pattern.replace("{}", "").count("{") + \
            pattern.replace("{}", "").count("}") > 0:
        raise VokraDataError(f"The {what} \"{pattern}\" needs exactly one {{}} where the mouth's "
                             "letter goes (and no other braces), e.g. \"mouth_{}\".")
    return {i: pattern.replace("{}", letter) for i, letter in enumerate(SHAPE_LETTERS)}


def switch_points(changes, value_of, ease, hold=0):
    """[(frame, value)] of one channel switched by the mouths: `changes` [(frame, mouth)] as
    shape_points gives them, `value_of(mouth)` the channel's value in that mouth. With `ease`
    0 the value jumps on the mouth's frame. Otherwise each change is a cross-fade over the same
    frames for every channel: it starts `ease` frames before the next mouth's frame, but not
    before the last mouth was reached and held `hold` frames (while that leaves a frame to move
    in), and ends on the next mouth's frame, where it is fully on. The fades never overlap."""
    points = []
    reached = None  # the frame of the last change, on every channel
    for frame, mouth in changes:
        leave = frame if reached is None or ease <= 0 else \
            max(frame - ease, min(reached + hold, frame - 1))
        reached = frame
        value = value_of(mouth)
        if points and value == points[-1][1]:
            continue
        if points and points[-1][0] < leave < frame:
            points.append((leave, points[-1][1]))
        points.append((frame, value))
    return points
