// Explorer's thumbnail provider, ombrel-thumbnails.dll, loaded from the
// build as a COM server is and driven as the shell drives it: the bitmap
// it returns, what it refuses, and what a guest must leave as it found it
// (its host's window loop, OpenGL context and windows). The pictures
// themselves are compared with the Linux build's by the Wine end-to-end
// test (tests/wine), through the installed provider.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>
#include <objbase.h>
#include <olectl.h>
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "model/model.h"

namespace {

using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using NoArguments = HRESULT(WINAPI*)();

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

CLSID providerClass() {
    CLSID clsid{};
    CLSIDFromString(OMBREL_THUMBNAIL_CLSID_WIDE, &clsid);
    return clsid;
}

// A stream that reads like a model's start and then never ends, counting
// what was taken from it.
class EndlessStream : public IStream {
public:
    size_t given = 0;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IStream && iid != IID_ISequentialStream) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(void* into, ULONG asked, ULONG* got) override {
        std::memset(into, 0, asked);
        for (ULONG i = 0; i < asked && given + i < 4; ++i) static_cast<char*>(into)[i] = "IDP2"[given + i];
        given += asked;
        if (got) *got = asked;
        return S_OK;
    }
    STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
};

class Provider : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        dll = LoadLibraryW(OMBREL_THUMBNAIL_DLL);
        ASSERT_NE(dll, nullptr) << GetLastError();
        getClassObject =
            reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<NoArguments>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
        ASSERT_NE(getClassObject, nullptr);
        ASSERT_NE(canUnloadNow, nullptr);
        model = fileBytes(OMBREL_CORPUS_DIR "/faerie.md2");
        ASSERT_GT(model.size(), 1000u);
    }
    void TearDown() override {
        if (dll) FreeLibrary(dll);
        CoUninitialize();
    }

    IInitializeWithStream* create() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClassObject(providerClass(), IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        if (!factory) return nullptr;
        IInitializeWithStream* provider = nullptr;
        EXPECT_EQ(
            factory->CreateInstance(nullptr, __uuidof(IInitializeWithStream), reinterpret_cast<void**>(&provider)),
            S_OK);
        factory->Release();
        return provider;
    }

    // What the provider gives for these bytes at this size: its result, and
    // its bitmap (deleted by the caller) and alpha type.
    struct Answer {
        HRESULT result = E_FAIL;
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    };
    Answer ask(const std::vector<uint8_t>& bytes, UINT size) {
        Answer answer;
        IInitializeWithStream* provider = create();
        if (!provider) return answer;
        IStream* stream = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
        answer.result = provider->Initialize(stream, STGM_READ);
        stream->Release();
        IThumbnailProvider* thumbnails = nullptr;
        if (SUCCEEDED(answer.result))
            answer.result =
                provider->QueryInterface(__uuidof(IThumbnailProvider), reinterpret_cast<void**>(&thumbnails));
        if (SUCCEEDED(answer.result)) answer.result = thumbnails->GetThumbnail(size, &answer.bitmap, &answer.alpha);
        if (thumbnails) thumbnails->Release();
        provider->Release();
        return answer;
    }

    HMODULE dll = nullptr;
    GetClassObject getClassObject = nullptr;
    NoArguments canUnloadNow = nullptr;
    std::vector<uint8_t> model;
};

// The bitmap's pixels as GDI gives them to whoever reads it, rows top first.
std::vector<uint8_t> topDownPixels(HBITMAP bitmap) {
    BITMAP facts{};
    GetObjectW(bitmap, sizeof facts, &facts);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = facts.bmWidth;
    info.bmiHeader.biHeight = -facts.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> pixels(size_t(facts.bmWidth) * size_t(facts.bmHeight) * 4);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, UINT(facts.bmHeight), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return pixels;
}

// A 32-bit top-down DIB section of the size asked, its colours
// premultiplied (none above its alpha), the model opaque in the middle and
// transparent in the corners.
TEST_F(Provider, DrawsAPremultipliedTopDownBitmapOfTheSizeAsked) {
    for (UINT size : {96u, 17u}) {
        SCOPED_TRACE(size);
        Answer answer = ask(model, size);
        ASSERT_EQ(answer.result, S_OK);
        ASSERT_NE(answer.bitmap, nullptr);
        EXPECT_EQ(answer.alpha, WTSAT_ARGB);
        DIBSECTION section{};
        ASSERT_EQ(GetObjectW(answer.bitmap, sizeof section, &section), int(sizeof section));
        EXPECT_EQ(section.dsBm.bmWidth, LONG(size));
        EXPECT_EQ(section.dsBm.bmHeight, LONG(size));
        EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
        const auto* pixels = static_cast<const uint8_t*>(section.dsBm.bmBits);
        EXPECT_TRUE(topDownPixels(answer.bitmap) == std::vector<uint8_t>(pixels, pixels + size_t(size) * size * 4))
            << "its memory holds the rows top first";
        int opaque = 0, aboveAlpha = 0;
        for (size_t i = 0; i < size_t(size) * size * 4; i += 4) {
            opaque += pixels[i + 3] == 255;
            aboveAlpha += pixels[i] > pixels[i + 3] || pixels[i + 1] > pixels[i + 3] || pixels[i + 2] > pixels[i + 3];
        }
        EXPECT_GT(opaque, int(size * size / 20)) << "the model";
        EXPECT_EQ(aboveAlpha, 0) << "premultiplied";
        EXPECT_EQ(pixels[3], 0) << "transparent around the model";
        DeleteObject(answer.bitmap);
    }
}

// Bytes that are no model it can draw get an error code and no bitmap; the
// DLL goes on drawing the next.
TEST_F(Provider, RefusesWhatItCannotDrawAndDrawsTheNext) {
    std::vector<uint8_t> truncated(model.begin(), model.begin() + 2000);
    std::vector<uint8_t> framesLie = model;
    const int32_t lots = 0x7fffffff;
    std::memcpy(&framesLie[40], &lots, 4);  // numFrames
    std::vector<uint8_t> outside = model;
    std::memcpy(&outside[56], &lots, 4);  // offsetFrames, past the end
    const std::vector<uint8_t> header(model.begin(), model.begin() + 68), empty, words{'h', 'e', 'l', 'l', 'o'};
    for (const std::vector<uint8_t>* bytes :
         std::vector<const std::vector<uint8_t>*>{&truncated, &framesLie, &outside, &header, &empty, &words}) {
        SCOPED_TRACE(bytes->size());
        Answer answer = ask(*bytes, 96);
        EXPECT_TRUE(FAILED(answer.result)) << std::hex << answer.result;
        EXPECT_EQ(answer.bitmap, nullptr);
        EXPECT_EQ(answer.alpha, WTSAT_UNKNOWN);
        Answer next = ask(model, 32);
        EXPECT_EQ(next.result, S_OK);
        if (next.bitmap) DeleteObject(next.bitmap);
    }
}

// A stream with no end is read only to one byte past the largest model the
// reader takes, and refused.
TEST_F(Provider, ReadsAnEndlessStreamOnlyToTheModelLimit) {
    IInitializeWithStream* provider = create();
    ASSERT_NE(provider, nullptr);
    EndlessStream stream;
    EXPECT_EQ(provider->Initialize(&stream, STGM_READ), S_OK);
    EXPECT_EQ(stream.given, size_t(MODEL_MAX_FILE_SIZE) + 1);
    IThumbnailProvider* thumbnails = nullptr;
    ASSERT_EQ(provider->QueryInterface(__uuidof(IThumbnailProvider), reinterpret_cast<void**>(&thumbnails)), S_OK);
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha;
    EXPECT_EQ(thumbnails->GetThumbnail(64, &bitmap, &alpha), HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
    EXPECT_EQ(bitmap, nullptr);
    thumbnails->Release();
    provider->Release();
}

// The DLL may go only when nothing of it is alive or locked.
TEST_F(Provider, CanUnloadOnlyWhenNothingOfItLives) {
    EXPECT_EQ(canUnloadNow(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(providerClass(), IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    IUnknown* provider = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&provider)), S_OK);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "a provider and a lock";
    provider->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the lock";
    ASSERT_EQ(getClassObject(providerClass(), IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

int windowsShown = 0;
LRESULT CALLBACK watchShowing(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_SHOWWINDOW && message->wParam) ++windowsShown;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK countWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// A guest leaves its host as it was: the thread's OpenGL context current
// again, no quit in its queue, no window shown or left, its window class
// made on the DLL's module and gone, the program's own class of that name
// untouched.
TEST_F(Provider, LeavesItsHostAsItFoundIt) {
    HWND own = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    HDC dc = GetDC(own);
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    format.cColorBits = 24;
    ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &format), &format));
    HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(wglMakeCurrent(dc, context));

    // A class of the toolkit's name that is the host's own: the guest's is
    // its own module's, so the two never meet.
    WNDCLASSA hostsClass{};
    hostsClass.lpfnWndProc = DefWindowProcA;
    hostsClass.hInstance = GetModuleHandleW(nullptr);
    hostsClass.lpszClassName = "mx_class";
    ASSERT_NE(RegisterClassA(&hostsClass), 0);
    int windowsBefore = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&windowsBefore));
    windowsShown = 0;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchShowing, nullptr, GetCurrentThreadId());
    Answer answer = ask(model, 64);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(answer.result, S_OK);
    if (answer.bitmap) DeleteObject(answer.bitmap);

    EXPECT_EQ(wglGetCurrentContext(), context);
    EXPECT_EQ(wglGetCurrentDC(), dc);
    EXPECT_EQ(windowsShown, 0);
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "a quit posted to the host's loop";
    int windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&windows));
    EXPECT_EQ(windows, windowsBefore) << "the host's own windows only";
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    EXPECT_FALSE(GetClassInfoExA(dll, "mx_class", &windowClass));
    EXPECT_TRUE(GetClassInfoExA(GetModuleHandleW(nullptr), "mx_class", &windowClass)) << "the host's own";
    UnregisterClassA("mx_class", GetModuleHandleW(nullptr));

    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    ReleaseDC(own, dc);
    DestroyWindow(own);
}

// Two threads of the host asking at once each get their picture: the draws
// take turns.
TEST_F(Provider, DrawsOfTwoThreadsTakeTurns) {
    std::vector<uint8_t> pixels[2];
    HRESULT results[2] = {E_FAIL, E_FAIL};
    auto draw = [&](int i) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Answer answer = ask(model, 48);
        results[i] = answer.result;
        if (answer.bitmap) {
            DIBSECTION section{};
            GetObjectW(answer.bitmap, sizeof section, &section);
            const auto* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
            pixels[i].assign(bits, bits + 48 * 48 * 4);
            DeleteObject(answer.bitmap);
        }
        CoUninitialize();
    };
    std::thread first(draw, 0), second(draw, 1);
    first.join();
    second.join();
    EXPECT_EQ(results[0], S_OK);
    EXPECT_EQ(results[1], S_OK);
    EXPECT_FALSE(pixels[0].empty());
    EXPECT_TRUE(pixels[0] == pixels[1]);
}

std::wstring registryText(const std::wstring& key, const wchar_t* value = nullptr) {
    wchar_t text[1024] = {};
    DWORD bytes = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return L"(missing)";
    return text;
}

// Registered by hand (regsvr32), it writes the keys the installer writes;
// unregistered, it takes them away, and leaves a handler not its own alone.
TEST_F(Provider, RegistersAndUnregistersTheShellsKeys) {
    auto call = [&](const char* name) {
        return reinterpret_cast<NoArguments>(reinterpret_cast<void*>(GetProcAddress(dll, name)))();
    };
    const std::wstring clsid = OMBREL_THUMBNAIL_CLSID_WIDE;  // as the installer writes it
    const std::wstring classKey = L"Software\\Classes\\CLSID\\" + clsid;
    const std::wstring handler = L"Software\\Classes\\.md2\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";
    if (registryText(handler) != L"(missing)") GTEST_SKIP() << "a thumbnail handler for .md2 is installed here";
    const std::wstring type = L"Software\\Classes\\.md2";
    auto exists = [](const std::wstring& key) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
        RegCloseKey(opened);
        return true;
    };
    const bool typeExisted = exists(type);
    ASSERT_EQ(call("DllRegisterServer"), S_OK);
    EXPECT_EQ(registryText(handler), clsid);
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(dll, path, MAX_PATH);
    EXPECT_EQ(registryText(classKey + L"\\InprocServer32"), path);
    EXPECT_EQ(registryText(classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    ASSERT_EQ(call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(registryText(handler), L"(missing)");
    EXPECT_EQ(registryText(classKey + L"\\InprocServer32"), L"(missing)");
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    // The keys made on the way to the handler go with it: an installer run
    // later must find .md2 as it was.
    EXPECT_EQ(exists(type), typeExisted);

    const std::wstring foreign = L"{00000000-1111-2222-3333-444444444444}";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, handler.c_str(), nullptr, REG_SZ, foreign.c_str(),
                              DWORD((foreign.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    EXPECT_EQ(call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(registryText(handler), foreign) << "another program's handler";
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, handler.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.md2\\ShellEx");
    if (!typeExisted) RegDeleteKeyW(HKEY_LOCAL_MACHINE, type.c_str());
}

}  // namespace
