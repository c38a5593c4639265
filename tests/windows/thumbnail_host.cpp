// What Explorer does with a .md2 file's thumbnail, for the Wine end-to-end
// test: the class named by the type's thumbnail handler key
// (HKCR\.md2\ShellEx\{IThumbnailProvider}), created by CoCreateInstance,
// given the file as a stream from SHCreateStreamOnFileEx, asked for a
// bitmap. For each model one line on standard output:
//   NAME: drawn WxH ARGB; provider loaded; nothing shown; no class left; loop untouched
//   NAME: refused 0x8007000B; no bitmap; provider loaded; ...
// and, for a drawn one, OUTDIR\NAME.png: the bitmap with its alpha taken
// out of the colours again (un-premultiplied), R, G, B, A.
//   thumbnail_host SIZE OUTDIR MODEL...
// Exit 0 once every model was asked; 1 when the provider could not be had.
#include <windows.h>
#include <objbase.h>
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/png_writer.h"

namespace {

std::wstring wide(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    out.resize(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), int(out.size())) - 1);
    return out;
}

std::string narrow(const std::wstring& text) {
    std::string out(text.size() * 4 + 1, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), int(out.size()), nullptr, nullptr) - 1);
    return out;
}

std::wstring guidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// A key's default text in the classes the shell sees (HKCR), "" when absent.
std::wstring classesText(const std::wstring& key) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"";
    return value;
}

// Windows shown on this thread while drawing: the provider must show none.
int windowsShown = 0;
LRESULT CALLBACK watchShowing(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_SHOWWINDOW && message->wParam) ++windowsShown;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The bitmap's pixels as the shell reads them (rows top first, whichever
// way they lie in memory), R, G, B, A with the colours divided by alpha again.
std::vector<uint8_t> unpremultiplied(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bits(size_t(width) * size_t(height) * 4);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, UINT(height), bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    std::vector<uint8_t> rgba(bits.size());
    for (size_t i = 0; i < rgba.size(); i += 4) {
        const unsigned alpha = bits[i + 3];
        auto divided = [alpha](uint8_t colour) {
            return alpha == 0 ? uint8_t(0) : uint8_t(std::min(255u, (colour * 255u + alpha / 2) / alpha));
        };
        rgba[i] = divided(bits[i + 2]);
        rgba[i + 1] = divided(bits[i + 1]);
        rgba[i + 2] = divided(bits[i]);
        rgba[i + 3] = uint8_t(alpha);
    }
    return rgba;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// One model as the shell asks for it; its line.
std::string askFor(const CLSID& provider, const std::wstring& dll, const std::string& model, UINT size,
                   const std::string& outFolder) {
    const std::string name = baseName(model);
    IInitializeWithStream* initialise = nullptr;
    HRESULT result = CoCreateInstance(provider, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IInitializeWithStream),
                                      reinterpret_cast<void**>(&initialise));
    char text[64];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    if (FAILED(result)) return name + ": not created " + text;
    IStream* stream = nullptr;
    result = SHCreateStreamOnFileEx(wide(model).c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL,
                                    FALSE, nullptr, &stream);
    if (SUCCEEDED(result)) result = initialise->Initialize(stream, STGM_READ);
    IThumbnailProvider* thumbnails = nullptr;
    if (SUCCEEDED(result))
        result = initialise->QueryInterface(__uuidof(IThumbnailProvider), reinterpret_cast<void**>(&thumbnails));
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    windowsShown = 0;
    if (SUCCEEDED(result)) result = thumbnails->GetThumbnail(size, &bitmap, &alpha);
    std::string line = name + ": ";
    DIBSECTION section{};
    if (SUCCEEDED(result) && bitmap && GetObjectW(bitmap, sizeof section, &section) == sizeof section) {
        line += "drawn " + std::to_string(section.dsBm.bmWidth) + "x" + std::to_string(section.dsBm.bmHeight) +
                (alpha == WTSAT_ARGB ? " ARGB" : " not ARGB") + (section.dsBm.bmBitsPixel == 32 ? "" : " not 32-bit");
        const std::vector<uint8_t> rgba = unpremultiplied(bitmap, section.dsBm.bmWidth, section.dsBm.bmHeight);
        const std::vector<uint8_t> png = encodePng(section.dsBm.bmWidth, section.dsBm.bmHeight, 4, rgba.data());
        if (FILE* out = _wfopen(wide(outFolder + "\\" + name + ".png").c_str(), L"wb")) {
            std::fwrite(png.data(), 1, png.size(), out);
            std::fclose(out);
        }
    } else {
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
        line += std::string(SUCCEEDED(result) ? "no DIB section " : "refused ") + text +
                (bitmap ? "; a bitmap all the same" : "; no bitmap");
    }
    if (bitmap) DeleteObject(bitmap);
    if (thumbnails) thumbnails->Release();
    if (stream) stream->Release();
    initialise->Release();

    // What the guest left of its visit.
    HMODULE module = GetModuleHandleW(dll.c_str());
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    const bool classLeft = (module && GetClassInfoExA(module, "mx_class", &windowClass)) ||
                           GetClassInfoExA(GetModuleHandleW(nullptr), "mx_class", &windowClass);
    MSG quit;
    const bool quitPosted = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    line += std::string(module ? "; provider loaded" : "; provider unloaded") +
            (windowsShown ? "; a window shown" : "; nothing shown") +
            (classLeft ? "; a class left" : "; no class left") + (quitPosted ? "; quit posted" : "; loop untouched");
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: thumbnail_host SIZE OUTDIR MODEL...\n");
        return 2;
    }
    const UINT size = UINT(std::atoi(argv[1]));
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    // The class as the shell finds it: the type's handler, then the class's server.
    const std::wstring named = classesText(L".md2\\ShellEx\\" + guidText(__uuidof(IThumbnailProvider)));
    CLSID provider{};
    if (named.empty() || FAILED(CLSIDFromString(named.c_str(), &provider))) {
        std::fprintf(stderr, "thumbnail_host: no thumbnail handler for .md2\n");
        return 1;
    }
    const std::wstring dll = classesText(L"CLSID\\" + named + L"\\InprocServer32");
    std::printf("class %s in %s\n", narrow(named).c_str(), narrow(dll).c_str());
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchShowing, nullptr, GetCurrentThreadId());
    for (int i = 3; i < argc; ++i) {
        std::printf("%s\n", askFor(provider, dll, argv[i], size, argv[2]).c_str());
        std::fflush(stdout);
    }
    if (hook) UnhookWindowsHookEx(hook);
    CoUninitialize();
    return 0;
}
