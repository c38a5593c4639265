#pragma once
// The native message vocabulary the toolkit speaks: message numbers, bit
// values, styles and record layouts as Win32 defines them. Every backend
// turns its platform's input into these messages, so the window procedure
// and the application core exist once for all platforms. On Windows the
// system headers supply the constants; elsewhere they are defined here with
// the same names and values.
#include <cstdint>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>
#else

// Messages.
constexpr unsigned WM_NULL = 0x0000;
constexpr unsigned WM_DESTROY = 0x0002;
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_PAINT = 0x000F;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_QUIT = 0x0012;
constexpr unsigned WM_ERASEBKGND = 0x0014;
constexpr unsigned WM_NOTIFY = 0x004E;
constexpr unsigned WM_KEYDOWN = 0x0100;
constexpr unsigned WM_KEYUP = 0x0101;
constexpr unsigned WM_CHAR = 0x0102;
constexpr unsigned WM_SYSKEYDOWN = 0x0104;
constexpr unsigned WM_SYSKEYUP = 0x0105;
constexpr unsigned WM_SYSCHAR = 0x0106;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_TIMER = 0x0113;
constexpr unsigned WM_HSCROLL = 0x0114;
constexpr unsigned WM_VSCROLL = 0x0115;
constexpr unsigned WM_MOUSEMOVE = 0x0200;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONUP = 0x0202;
constexpr unsigned WM_RBUTTONDOWN = 0x0204;
constexpr unsigned WM_RBUTTONUP = 0x0205;
constexpr unsigned WM_MBUTTONDOWN = 0x0207;
constexpr unsigned WM_MBUTTONUP = 0x0208;
constexpr unsigned WM_USER = 0x0400;

// Key-state bits in the wParam of mouse messages.
constexpr uintptr_t MK_LBUTTON = 0x0001;
constexpr uintptr_t MK_RBUTTON = 0x0002;
constexpr uintptr_t MK_SHIFT = 0x0004;
constexpr uintptr_t MK_CONTROL = 0x0008;
constexpr uintptr_t MK_MBUTTON = 0x0010;

// Size message kinds.
constexpr uintptr_t SIZE_RESTORED = 0;
constexpr uintptr_t SIZE_MINIMIZED = 1;
constexpr uintptr_t SIZE_MAXIMIZED = 2;

// Scroll codes.
constexpr unsigned SB_THUMBPOSITION = 4;
constexpr unsigned SB_THUMBTRACK = 5;
constexpr unsigned SB_ENDSCROLL = 8;

// Control notification codes.
constexpr unsigned EN_CHANGE = 0x0300;
constexpr unsigned CBN_SELCHANGE = 1;
constexpr unsigned LBN_SELCHANGE = 1;
constexpr unsigned BN_CLICKED = 0;
constexpr unsigned NM_DBLCLK = static_cast<unsigned>(-3);
constexpr unsigned NM_RCLICK = static_cast<unsigned>(-5);
constexpr unsigned TVN_SELCHANGEDA = static_cast<unsigned>(-402);
constexpr unsigned TCN_SELCHANGE = static_cast<unsigned>(-551);
constexpr unsigned TCN_SELCHANGING = static_cast<unsigned>(-552);

// Tab-control and tree-view queries.
constexpr unsigned TCM_GETITEMA = 0x1305;
constexpr unsigned TCM_GETITEMRECT = 0x130A;
constexpr unsigned TCM_GETCURSEL = 0x130B;
constexpr unsigned TCIF_PARAM = 0x0008;
constexpr unsigned TVM_GETITEMRECT = 0x1104;
constexpr unsigned TVM_GETNEXTITEM = 0x110A;
constexpr uintptr_t TVGN_CARET = 0x0009;

// Window styles.
constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_THICKFRAME = 0x00040000;
constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;

// Class styles.
constexpr uint32_t CS_VREDRAW = 0x0001;
constexpr uint32_t CS_HREDRAW = 0x0002;
constexpr uint32_t CS_OWNDC = 0x0020;

// Window words: the identifier and the user-data word are pointer-sized.
constexpr int GWL_STYLE = -16;
constexpr int GWLP_ID = -12;
constexpr int GWLP_USERDATA = -21;

// Show commands and position flags.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;
constexpr unsigned SWP_NOSIZE = 0x0001;
constexpr unsigned SWP_NOMOVE = 0x0002;
constexpr unsigned SWP_NOZORDER = 0x0004;
constexpr unsigned SWP_NOACTIVATE = 0x0010;
constexpr unsigned SWP_SHOWWINDOW = 0x0040;
constexpr unsigned SWP_HIDEWINDOW = 0x0080;

// System metrics, icons and cursors.
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int COLOR_MENU = 4;

// Message boxes.
constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_YESNOCANCEL = 0x03;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_TYPEMASK = 0x0F;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Display changes.
constexpr uint32_t DM_BITSPERPEL = 0x00040000;
constexpr uint32_t DM_PELSWIDTH = 0x00080000;
constexpr uint32_t DM_PELSHEIGHT = 0x00100000;
constexpr uint32_t CDS_FULLSCREEN = 0x00000004;
constexpr int32_t DISP_CHANGE_SUCCESSFUL = 0;
constexpr int32_t DISP_CHANGE_FAILED = -1;
constexpr int32_t DISP_CHANGE_BADMODE = -2;

// Pixel formats.
constexpr uint32_t PFD_DOUBLEBUFFER = 0x00000001;
constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x00000004;
constexpr uint32_t PFD_SUPPORT_OPENGL = 0x00000020;
constexpr uint8_t PFD_TYPE_RGBA = 0;
constexpr uint8_t PFD_MAIN_PLANE = 0;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes.
constexpr unsigned VK_BACK = 0x08;
constexpr unsigned VK_TAB = 0x09;
constexpr unsigned VK_CLEAR = 0x0C;
constexpr unsigned VK_RETURN = 0x0D;
constexpr unsigned VK_SHIFT = 0x10;
constexpr unsigned VK_CONTROL = 0x11;
constexpr unsigned VK_MENU = 0x12;
constexpr unsigned VK_PAUSE = 0x13;
constexpr unsigned VK_CAPITAL = 0x14;
constexpr unsigned VK_ESCAPE = 0x1B;
constexpr unsigned VK_SPACE = 0x20;
constexpr unsigned VK_PRIOR = 0x21;
constexpr unsigned VK_NEXT = 0x22;
constexpr unsigned VK_END = 0x23;
constexpr unsigned VK_HOME = 0x24;
constexpr unsigned VK_LEFT = 0x25;
constexpr unsigned VK_UP = 0x26;
constexpr unsigned VK_RIGHT = 0x27;
constexpr unsigned VK_DOWN = 0x28;
constexpr unsigned VK_SNAPSHOT = 0x2C;
constexpr unsigned VK_INSERT = 0x2D;
constexpr unsigned VK_DELETE = 0x2E;
constexpr unsigned VK_LWIN = 0x5B;
constexpr unsigned VK_RWIN = 0x5C;
constexpr unsigned VK_APPS = 0x5D;
constexpr unsigned VK_NUMPAD0 = 0x60;
constexpr unsigned VK_MULTIPLY = 0x6A;
constexpr unsigned VK_ADD = 0x6B;
constexpr unsigned VK_SUBTRACT = 0x6D;
constexpr unsigned VK_DECIMAL = 0x6E;
constexpr unsigned VK_DIVIDE = 0x6F;
constexpr unsigned VK_F1 = 0x70;
constexpr unsigned VK_F10 = 0x79;
constexpr unsigned VK_F24 = 0x87;
constexpr unsigned VK_NUMLOCK = 0x90;
constexpr unsigned VK_SCROLL = 0x91;
constexpr unsigned VK_OEM_1 = 0xBA;
constexpr unsigned VK_OEM_PLUS = 0xBB;
constexpr unsigned VK_OEM_COMMA = 0xBC;
constexpr unsigned VK_OEM_MINUS = 0xBD;
constexpr unsigned VK_OEM_PERIOD = 0xBE;
constexpr unsigned VK_OEM_2 = 0xBF;
constexpr unsigned VK_OEM_3 = 0xC0;
constexpr unsigned VK_OEM_4 = 0xDB;
constexpr unsigned VK_OEM_5 = 0xDC;
constexpr unsigned VK_OEM_6 = 0xDD;
constexpr unsigned VK_OEM_7 = 0xDE;
constexpr unsigned VK_OEM_102 = 0xE2;

#endif  // _WIN32

// The system icon and cursor the toolkit's class uses, as numbers on every
// platform (Windows' IDI_WINLOGO and IDC_ARROW are resource pointers there).
constexpr int SYSTEM_ICON_WINLOGO = 32517;
constexpr int SYSTEM_CURSOR_ARROW = 32512;

// Records the toolkit exchanges with the platform, laid out as their Win32
// counterparts (RECT, POINT, NMHDR, TCITEMA, DEVMODEA, PIXELFORMATDESCRIPTOR)
// so that a Win32 backend can pass them through unchanged.

struct NativeWindowHandle;
using NativeWindow = NativeWindowHandle*;

struct NativeRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct NativePoint {
    int32_t x = 0;
    int32_t y = 0;
};

// The header a WM_NOTIFY message points to.
struct NativeNotifyHeader {
    NativeWindow source = nullptr;
    uintptr_t sourceId = 0;
    unsigned code = 0;
};

// A tab-control item as TCM_GETITEMA fills it.
struct NativeTabItem {
    uint32_t mask = 0;
    uint32_t state = 0;
    uint32_t stateMask = 0;
    char* text = nullptr;
    int32_t textMax = 0;
    int32_t image = 0;
    intptr_t param = 0;
};

// The display-mode record of a display change (DEVMODEA, 156 bytes).
#pragma pack(push, 4)
struct NativeDisplayMode {
    char deviceName[32];
    uint16_t specVersion;
    uint16_t driverVersion;
    uint16_t size;
    uint16_t driverExtra;
    uint32_t fields;
    int16_t orientation;
    int16_t paperSize;
    int16_t paperLength;
    int16_t paperWidth;
    int16_t scale;
    int16_t copies;
    int16_t defaultSource;
    int16_t printQuality;
    int16_t color;
    int16_t duplex;
    int16_t yResolution;
    int16_t ttOption;
    int16_t collate;
    char formName[32];
    uint16_t logPixels;
    uint32_t bitsPerPel;
    uint32_t pelsWidth;
    uint32_t pelsHeight;
    uint32_t displayFlags;
    uint32_t displayFrequency;
    uint32_t icmMethod;
    uint32_t icmIntent;
    uint32_t mediaType;
    uint32_t ditherType;
    uint32_t reserved1;
    uint32_t reserved2;
    uint32_t panningWidth;
    uint32_t panningHeight;
};
#pragma pack(pop)
static_assert(sizeof(NativeDisplayMode) == 156, "display-mode record must be 156 bytes");

// A pixel-format request or description (PIXELFORMATDESCRIPTOR, 40 bytes).
struct NativePixelFormat {
    uint16_t size;
    uint16_t version;
    uint32_t flags;
    uint8_t pixelType;
    uint8_t colorBits;
    uint8_t redBits, redShift, greenBits, greenShift, blueBits, blueShift;
    uint8_t alphaBits, alphaShift;
    uint8_t accumBits, accumRedBits, accumGreenBits, accumBlueBits, accumAlphaBits;
    uint8_t depthBits;
    uint8_t stencilBits;
    uint8_t auxBuffers;
    uint8_t layerType;
    uint8_t reserved;
    uint32_t layerMask;
    uint32_t visibleMask;
    uint32_t damageMask;
};
static_assert(sizeof(NativePixelFormat) == 40, "pixel-format record must be 40 bytes");

#ifdef _WIN32
// The Win32 backend passes these records to the system as they are.
#include <cstddef>
static_assert(sizeof(NativeRect) == sizeof(RECT) && offsetof(NativeRect, bottom) == offsetof(RECT, bottom), "RECT");
static_assert(sizeof(NativePoint) == sizeof(POINT) && offsetof(NativePoint, y) == offsetof(POINT, y), "POINT");
static_assert(sizeof(NativeNotifyHeader) == sizeof(NMHDR) &&
                  offsetof(NativeNotifyHeader, sourceId) == offsetof(NMHDR, idFrom) &&
                  offsetof(NativeNotifyHeader, code) == offsetof(NMHDR, code),
              "NMHDR");
static_assert(sizeof(NativeTabItem) == sizeof(TCITEMA) && offsetof(NativeTabItem, text) == offsetof(TCITEMA, pszText) &&
                  offsetof(NativeTabItem, param) == offsetof(TCITEMA, lParam),
              "TCITEMA");
static_assert(sizeof(NativeDisplayMode) == sizeof(DEVMODEA) &&
                  offsetof(NativeDisplayMode, size) == offsetof(DEVMODEA, dmSize) &&
                  offsetof(NativeDisplayMode, fields) == offsetof(DEVMODEA, dmFields) &&
                  offsetof(NativeDisplayMode, bitsPerPel) == offsetof(DEVMODEA, dmBitsPerPel) &&
                  offsetof(NativeDisplayMode, pelsWidth) == offsetof(DEVMODEA, dmPelsWidth) &&
                  offsetof(NativeDisplayMode, pelsHeight) == offsetof(DEVMODEA, dmPelsHeight) &&
                  offsetof(NativeDisplayMode, displayFrequency) == offsetof(DEVMODEA, dmDisplayFrequency),
              "DEVMODEA");
static_assert(sizeof(NativePixelFormat) == sizeof(PIXELFORMATDESCRIPTOR) &&
                  offsetof(NativePixelFormat, flags) == offsetof(PIXELFORMATDESCRIPTOR, dwFlags) &&
                  offsetof(NativePixelFormat, colorBits) == offsetof(PIXELFORMATDESCRIPTOR, cColorBits) &&
                  offsetof(NativePixelFormat, depthBits) == offsetof(PIXELFORMATDESCRIPTOR, cDepthBits) &&
                  offsetof(NativePixelFormat, damageMask) == offsetof(PIXELFORMATDESCRIPTOR, dwDamageMask),
              "PIXELFORMATDESCRIPTOR");
#endif
