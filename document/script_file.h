#pragma once
// A script read from a text file (the command line's --text, the window's Load button): UTF-8,
// at most kMaxScriptBytes, from a regular file only (a pipe or a device is refused without
// waiting on it). A byte-order mark at the start is dropped.
#include <string>

namespace vokra {

struct ScriptFileResult {
    std::string text;
    std::string error;  // the whole message, naming the file; empty when read
    bool ok() const { return error.empty(); }
};

ScriptFileResult ReadScriptFile(const std::string& path);

}  // namespace vokra
