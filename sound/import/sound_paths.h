#pragma once
// What a path is before anything is decoded: no sound at all (a folder, a pipe, a device, an
// empty file), a sound rather than a document, a name a sound file has.
#include <string>

namespace vokra {

// Why a path cannot be a sound although it exists: "NAME is a folder, not a sound file.", a
// named pipe, a device, or an empty file. Empty for a regular file with bytes in it or a path
// that does not exist (the loader's own message stands there).
std::string NotASoundReason(const std::string& path, const std::string& expected = "a sound file");
// True for a path that exists but is no regular file (a folder, a pipe, a device).
bool IsNotARegularFile(const std::string& path);
// True when the name ends in an extension of a sound file (".wav", ".flac", ...).
bool HasSoundExtension(const std::string& path);
// True when the file is a sound to load rather than a document: a RIFF/WAVE file, or one
// libsndfile reads.
bool LooksLikeSound(const std::string& path);
// The file patterns libsndfile reads, ";"-separated ("*.wav;*.aif;*.aiff;*.flac;...").
std::string ReadableSoundPatterns();

}  // namespace vokra
