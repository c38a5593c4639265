// Explorer's thumbnail provider for .md2 files, an in-process COM server:
// the shell hands it the file's bytes as a stream (IInitializeWithStream;
// never a path, which it may not have) and asks for a bitmap of a size
// (IThumbnailProvider). The picture is what `ombrel thumbnail` draws of the
// model alone (drawing/thumbnail.h: the same code, in memory), returned as
// a 32-bit top-down DIB section with premultiplied alpha.
//
// A guest in Explorer (or the process the shell isolates handlers in) has
// to behave: the toolkit's window is never shown and is made, with its
// class, on this DLL's own module handle for the one draw and gone after
// it; the thread's message loop and OpenGL context are the host's and are
// left as they were; draws take turns (one toolkit and one context a
// process), waiting a bounded time for the turn; what is read is bounded by
// the model reader's own limit; and nothing is thrown past the COM boundary:
// a model that can't be drawn, or an OpenGL without framebuffer objects,
// gets an error code and no bitmap.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <propsys.h>
#include <shlobj.h>
#include <thumbcache.h>

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "frontend/base/report.h"
#include "frontend/drawing/thumbnail.h"
#include "model/model.h"

namespace {

// The largest thumbnail drawn, as `ombrel thumbnail --size` allows.
constexpr UINT kLargestThumbnail = 4096;
// How long a draw waits for the one before it to end. Draws are bounded by
// the readers' limits and take a fraction of a second: a turn not given by
// then means something is stuck, and Explorer is better answered at once.
constexpr DWORD kTurnWaitMs = 20000;
// Stream bytes read at a time.
constexpr ULONG kReadStep = 1 << 16;
// What the file is called in messages: the shell gives no name.
constexpr char kShownName[] = "the stream";

LONG liveObjects = 0;       // providers and factories alive
LONG serverLocks = 0;       // IClassFactory::LockServer
HANDLE drawTurn = nullptr;  // a semaphore of one: whose turn it is to draw

// A message for whoever debugs the host (DebugView, a debugger); the shell
// shows none.
void tellDebugger(const std::string& text) { OutputDebugStringA(("ombrel-thumbnails: " + text + "\n").c_str()); }

// The class's identifier (CMake's OMBREL_THUMBNAIL_CLSID).
const CLSID& providerClass() {
    static const CLSID clsid = [] {
        CLSID parsed{};
        CLSIDFromString(OMBREL_THUMBNAIL_CLSID_WIDE, &parsed);
        return parsed;
    }();
    return clsid;
}

// The draw's turn, waited for a bounded time; given back when it goes.
class DrawTurn {
public:
    DrawTurn() : taken_(drawTurn && WaitForSingleObject(drawTurn, kTurnWaitMs) == WAIT_OBJECT_0) {}
    ~DrawTurn() {
        if (taken_) ReleaseSemaphore(drawTurn, 1, nullptr);
    }
    DrawTurn(const DrawTurn&) = delete;
    DrawTurn& operator=(const DrawTurn&) = delete;
    bool taken() const { return taken_; }

private:
    bool taken_;
};

// The thread's OpenGL context is the host's: whatever was current before a
// draw is current again after it.
class HostContext {
public:
    HostContext() : dc_(wglGetCurrentDC()), context_(wglGetCurrentContext()) {}
    ~HostContext() { wglMakeCurrent(dc_, context_); }
    HostContext(const HostContext&) = delete;
    HostContext& operator=(const HostContext&) = delete;

private:
    HDC dc_;
    HGLRC context_;
};

// The picture as a top-down 32-bit DIB section, each colour multiplied by
// its alpha (as WTSAT_ARGB wants); null when the system can't make one.
HBITMAP premultipliedBitmap(const frontend::RgbaPicture& picture) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // rows top first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    auto* out = static_cast<uint8_t*>(bits);
    const std::vector<uint8_t>& in = picture.rgba;
    for (size_t i = 0; i + 3 < in.size(); i += 4) {
        const unsigned alpha = in[i + 3];
        auto times = [alpha](uint8_t colour) { return uint8_t((colour * alpha + 127) / 255); };
        out[i] = times(in[i + 2]);  // blue, green, red, alpha in memory
        out[i + 1] = times(in[i + 1]);
        out[i + 2] = times(in[i]);
        out[i + 3] = uint8_t(alpha);
    }
    return bitmap;
}

class ThumbnailProvider final : public IInitializeWithStream, public IThumbnailProvider {
public:
    ThumbnailProvider() { InterlockedIncrement(&liveObjects); }
    ThumbnailProvider(const ThumbnailProvider&) = delete;
    ThumbnailProvider& operator=(const ThumbnailProvider&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == __uuidof(IInitializeWithStream))
            *object = static_cast<IInitializeWithStream*>(this);
        else if (iid == __uuidof(IThumbnailProvider))
            *object = static_cast<IThumbnailProvider*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&references_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return ULONG(left);
    }

    // The whole stream, read now: at most one byte more than a model file
    // may have, so a longer one is refused by the reader's own check.
    STDMETHODIMP Initialize(IStream* stream, DWORD) override {
        if (!stream) return E_INVALIDARG;
        if (initialised_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        try {
            const size_t most = size_t(MODEL_MAX_FILE_SIZE) + 1;
            std::vector<uint8_t> bytes;
            while (bytes.size() < most) {
                const size_t had = bytes.size();
                const ULONG asked = ULONG(std::min<size_t>(kReadStep, most - had));
                bytes.resize(had + asked);
                ULONG got = 0;
                const HRESULT result = stream->Read(bytes.data() + had, asked, &got);
                if (FAILED(result)) return result;
                bytes.resize(had + std::min(got, asked));
                if (got == 0) break;  // the end
            }
            bytes_ = std::move(bytes);
            initialised_ = true;
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

    STDMETHODIMP GetThumbnail(UINT size, HBITMAP* bitmap, WTS_ALPHATYPE* alphaType) override {
        if (!bitmap || !alphaType) return E_POINTER;
        *bitmap = nullptr;
        *alphaType = WTSAT_UNKNOWN;
        if (!initialised_) return E_UNEXPECTED;
        if (size == 0 || size > kLargestThumbnail) return E_INVALIDARG;
        try {
            DrawTurn turn;
            if (!turn.taken()) {
                tellDebugger("another thumbnail is still being drawn; giving up");
                return HRESULT_FROM_WIN32(WAIT_TIMEOUT);
            }
            frontend::RgbaPicture picture;
            {
                HostContext host;
                picture = frontend::thumbnailOfModelBytes(bytes_, kShownName, int(size));
            }
            HBITMAP made = premultipliedBitmap(picture);
            if (!made) return E_OUTOFMEMORY;
            *bitmap = made;
            *alphaType = WTSAT_ARGB;
            return S_OK;
        } catch (const frontend::Failure& failure) {
            tellDebugger(failure.what());
            return failure.code() == frontend::ExitCode::BadInput ? HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)
                                                                  : HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& unexpected) {
            tellDebugger(unexpected.what());
            return E_FAIL;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

private:
    ~ThumbnailProvider() { InterlockedDecrement(&liveObjects); }

    LONG references_ = 1;
    bool initialised_ = false;
    std::vector<uint8_t> bytes_;
};

class ProviderFactory final : public IClassFactory {
public:
    ProviderFactory() { InterlockedIncrement(&liveObjects); }
    ProviderFactory(const ProviderFactory&) = delete;
    ProviderFactory& operator=(const ProviderFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&references_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return ULONG(left);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ThumbnailProvider* provider = new (std::nothrow) ThumbnailProvider;
        if (!provider) return E_OUTOFMEMORY;
        const HRESULT result = provider->QueryInterface(iid, object);
        provider->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&serverLocks);
        else
            InterlockedDecrement(&serverLocks);
        return S_OK;
    }

private:
    ~ProviderFactory() { InterlockedDecrement(&liveObjects); }

    LONG references_ = 1;
};

// ---- Registration by hand (regsvr32): the keys the installer writes

const wchar_t kClasses[] = L"Software\\Classes\\";

std::wstring classKey() { return std::wstring(kClasses) + L"CLSID\\" + OMBREL_THUMBNAIL_CLSID_WIDE; }
// The type's thumbnail handler: its ShellEx key named by IThumbnailProvider.
std::wstring handlerKey() { return std::wstring(kClasses) + L".md2\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}"; }

bool setText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, value.c_str(),
                           DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring text(const std::wstring& key) {
    wchar_t value[64] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"";
    return value;
}

// Deletes the key when nothing is left in it (no subkeys, no values): the
// keys registration made on the way to the handler, which another program
// may share and fill.
void deleteIfEmpty(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    const LSTATUS asked =
        RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
    RegCloseKey(opened);
    if (asked == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

// This DLL's own file.
std::wstring modulePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&modulePath), &module))
        return L"";
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0) return L"";
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID unloadedByExit) {
    if (reason == DLL_PROCESS_ATTACH) {
        drawTurn = CreateSemaphoreW(nullptr, 1, 1, nullptr);
        return drawTurn != nullptr;
    }
    // At the process's end the system takes the handle back itself.
    if (reason == DLL_PROCESS_DETACH && !unloadedByExit && drawTurn) CloseHandle(drawTurn);
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != providerClass()) return CLASS_E_CLASSNOTAVAILABLE;
    ProviderFactory* factory = new (std::nothrow) ProviderFactory;
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

STDAPI DllCanUnloadNow() { return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE; }

// The class in the 32- or 64-bit registry view of this DLL, and .md2's
// thumbnail handler naming it, for all users (as the installer writes them).
STDAPI DllRegisterServer() {
    const std::wstring path = modulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    const std::wstring inproc = classKey() + L"\\InprocServer32";
    if (!setText(classKey(), nullptr, L"Ombrel thumbnail provider") || !setText(inproc, nullptr, path) ||
        !setText(inproc, L"ThreadingModel", L"Apartment") ||
        !setText(handlerKey(), nullptr, OMBREL_THUMBNAIL_CLSID_WIDE))
        return SELFREG_E_CLASS;
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return S_OK;
}

// Takes away what DllRegisterServer wrote; the handler key only while it
// still names this class.
STDAPI DllUnregisterServer() {
    if (_wcsicmp(text(handlerKey()).c_str(), OMBREL_THUMBNAIL_CLSID_WIDE) == 0) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, handlerKey().c_str());
        deleteIfEmpty(std::wstring(kClasses) + L".md2\\ShellEx");
        deleteIfEmpty(std::wstring(kClasses) + L".md2");
    }
    const LSTATUS removed = RegDeleteTreeW(HKEY_LOCAL_MACHINE, classKey().c_str());
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
