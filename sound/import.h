#pragma once
// Import of any recording libsndfile reads (WAV of every sample format, RF64, AIFF, FLAC, Ogg,
// MP3 ...) into what the exact WAVE loader accepts, by job in import/: what a path is
// (sound_paths), what a file holds and how long it really is (sound_length), the rate rule
// (rate_rule), the conversion (convert: decoding, channel_mix, sample_stream for resampling and
// dither), the WAVE bytes of the result (wave_bytes), the converted copy's name (copy_name) and
// the words for the user (messages).
// LoadRecording (load_recording.h) walks them for a recording to load.
#include "sound/import/convert.h"
#include "sound/import/copy_name.h"
#include "sound/import/messages.h"
#include "sound/import/rate_rule.h"
#include "sound/import/sound_length.h"
#include "sound/import/sound_paths.h"
#include "sound/import/wave_bytes.h"
