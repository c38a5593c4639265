#include "common/text.h"

namespace {

void appendHex(std::string& out, unsigned char byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

bool isLetterOrDigit(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

std::string percentEncoded(const std::string& text, const std::string& kept) {
    std::string out;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (isLetterOrDigit(byte) || c == '-' || c == '.' || c == '_' || c == '~' || kept.find(c) != std::string::npos) {
            out += c;
        } else {
            out += '%';
            appendHex(out, byte);
        }
    }
    return out;
}

std::string escapedBytes(const std::string& text, size_t most) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < most; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += char(c);
        } else {
            out += "\\x";
            appendHex(out, c);
        }
    }
    if (text.size() > most) out += "...";
    return out;
}
