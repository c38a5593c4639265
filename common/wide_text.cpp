#include "common/wide_text.h"

#include <windows.h>

std::wstring wideText(const std::string& text) {
    if (text.empty()) return std::wstring();
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (length == 0) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    }
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(codePage, codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, text.data(), int(text.size()),
                        wide.data(), length);
    return wide;
}

std::string utf8Text(const wchar_t* text, int length) {
    if (!text || length == 0) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string narrow(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), size, nullptr, nullptr);
    if (length < 0 && !narrow.empty() && narrow.back() == '\0') narrow.pop_back();
    return narrow;
}
