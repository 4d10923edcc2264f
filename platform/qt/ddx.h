#pragma once
// Dialog data exchange with the old framework's prompts. Reading (save = true) validates the text;
// on failure the prompt is shown, the focus goes back to the edit with its text selected, and the
// function returns false so the caller stops.
#include <QLineEdit>

namespace vokra {

// Writes value with "%d" (save = false) or reads a whole number (leading blanks, sign, digits):
// "Please enter an integer." / "Please enter an integer between %1 and %2.".
bool DDX_Int(QLineEdit* edit, int& value, bool save, int min, int max);
// Writes with up to 15 significant digits and no trailing zeros; reads a number:
// "Please enter a number." / "Please enter a number between %1 and %2.".
bool DDX_Double(QLineEdit* edit, double& value, bool save, double min, double max);

// Locale-independent conversions used by the above (exposed for tests and other fields).
bool ParseLeadingInt(const std::string& text, long long& value);
bool ParseDouble(const std::string& text, double& value);
std::string FormatDouble15(double value);

}  // namespace vokra
