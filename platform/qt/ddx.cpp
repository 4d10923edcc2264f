#include "platform/qt/ddx.h"

#include <charconv>
#include <cstdlib>
#include <string>

#include "platform/message_service.h"

namespace vokra {
namespace {

void Reject(QLineEdit* edit, const std::string& prompt) {
    AfxMessageBox(prompt, MsgButtons::Ok, MsgIcon::Exclamation);
    edit->setFocus();
    edit->selectAll();
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

bool ParseLeadingInt(const std::string& text, long long& value) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digits = i;
    long long v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        // Saturate: a huge number is simply out of range, never an overflow.
        if (v < 1000000000000LL) v = v * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digits) return false;
    value = negative ? -v : v;
    return true;
}

bool ParseDouble(const std::string& text, double& value) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    if (b == e) return false;
    const char* first = text.data() + b;
    if (*first == '+') ++first;
    double v = 0.0;
    auto [ptr, ec] = std::from_chars(first, text.data() + e, v, std::chars_format::general);
    if (ec != std::errc() || ptr != text.data() + e) return false;
    if (v != v) return false;  // "nan" is not a number a user means
    value = v;
    return true;
}

std::string FormatDouble15(double value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    if (ec != std::errc()) return "0";
    return std::string(buf, ptr);
}

bool DDX_Int(QLineEdit* edit, int& value, bool save, int min, int max) {
    if (!save) {
        edit->setText(QString::number(value));
        return true;
    }
    long long v = 0;
    if (!ParseLeadingInt(edit->text().toStdString(), v)) {
        Reject(edit, "Please enter an integer.");
        return false;
    }
    if (v < min || v > max) {
        Reject(edit, "Please enter an integer between " + std::to_string(min) + " and " +
                         std::to_string(max) + ".");
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool DDX_Double(QLineEdit* edit, double& value, bool save, double min, double max) {
    if (!save) {
        edit->setText(QString::fromStdString(FormatDouble15(value)));
        return true;
    }
    double v = 0.0;
    if (!ParseDouble(edit->text().toStdString(), v)) {
        Reject(edit, "Please enter a number.");
        return false;
    }
    if (v < min || v > max) {
        Reject(edit, "Please enter a number between " + FormatDouble15(min) + " and " +
                         FormatDouble15(max) + ".");
        return false;
    }
    value = v;
    return true;
}

}  // namespace vokra
