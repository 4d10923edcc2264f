#pragma once
// The program's licence as --version, the About box and the manual state it. libespeak-ng, which
// reads the scripts, is GPL-3.0-or-later, and so is Vokra.
namespace vokra {

inline constexpr const char* kCopyrightLine = "Copyright (C) 2026 the Vokra developers";
inline constexpr const char* kLicenceLines =
    "License GPLv3+: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

}  // namespace vokra
