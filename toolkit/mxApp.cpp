#include "toolkit/mxApp.h"

#include <chrono>
#include <cstdio>
#include <new>

#include "toolkit/internal.h"
#include "toolkit/mxWindow.h"
#include "toolkit/platform.h"

const char* const mxWindowClassName = "mx_class";

namespace {

struct RegistryNode {
    mxWidget* widget = nullptr;  // not owned
    RegistryNode* next = nullptr;
    RegistryNode* prev = nullptr;
};

// Live widgets in order of registration between two sentinels.
struct Registry {
    RegistryNode head;
    RegistryNode tail;
    int count = 0;
};

Registry* registry = nullptr;
mxWindow* idleTarget = nullptr;
mxWindow* mainWindow = nullptr;
bool quitting = false;
bool captured = false;
// What the idle target asked for while handling the last Idle event, or -1.
long long idleWithinUs = -1;

// A paused target answers Idle events with 0; it is asked again after this
// pause, short enough that resuming feels immediate.
constexpr long kUnhandledIdleIntervalUs = 10000;
// With no idle target the loop only waits for messages; the bound keeps it
// looking at the target now and then.
constexpr uint32_t kNoTargetWaitMs = 100;
constexpr int kFallbackRefreshRate = 60;

Registry* createRegistry() {
    Registry* r = new (std::nothrow) Registry;
    if (!r) return nullptr;
    r->head.next = &r->tail;
    r->tail.prev = &r->head;
    return r;
}

void releaseRegistry() {
    RegistryNode* node = registry->head.next;
    while (node != &registry->tail) {
        RegistryNode* next = node->next;
        delete node;
        node = next;
    }
    delete registry;
    registry = nullptr;
}

// Destroys the newest registered widget; false when none is left. Taking
// the newest each time, instead of walking from a node noted beforehand,
// stays right even when a destructor destroys other registered widgets.
bool destroyNewestWidget() {
    if (!registry || registry->tail.prev == &registry->head) return false;
    RegistryNode* node = registry->tail.prev;
    mxWidget* widget = node->widget;
    if (!widget) {
        // Cannot happen through registerWidget; drop the node so the walk ends.
        node->prev->next = node->next;
        node->next->prev = node->prev;
        delete node;
        return true;
    }
    delete widget;  // its destructor unregisters it and frees the node
    return true;
}

}  // namespace

mxWindow* mxAppMainWindow() { return mainWindow; }
void mxAppSetMainWindow(mxWindow* window) { mainWindow = window; }
mxWindow* mxAppIdleTarget() { return idleTarget; }
bool mxAppQuitting() { return quitting; }
void mxAppSetQuitting() { quitting = true; }
bool mxAppCaptured() { return captured; }
void mxAppSetCaptured(bool value) { captured = value; }

bool mxAppRegistryExists() { return registry != nullptr; }

std::vector<mxWidget*> mxAppRegisteredWidgets() {
    std::vector<mxWidget*> widgets;
    if (!registry) return widgets;
    for (RegistryNode* n = registry->head.next; n != &registry->tail; n = n->next) widgets.push_back(n->widget);
    return widgets;
}

int mxAppInit(int, char**) {
    NativeWindowClass windowClass;
    windowClass.name = mxWindowClassName;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.procedure = mxWindowProcedure;
    windowClass.icon = platform::loadIcon("MX_ICON");
    if (!windowClass.icon) windowClass.icon = platform::loadSystemIcon(SYSTEM_ICON_WINLOGO);
    windowClass.cursor = platform::loadSystemCursor(SYSTEM_CURSOR_ARROW);
    windowClass.background = COLOR_MENU + 1;
    if (!platform::registerWindowClass(windowClass)) return 0;

    platform::initCommonControls();
    if (!registry) registry = createRegistry();
    quitting = false;
    return 1;
}

int mxAppRun() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextIdle = Clock::now();
    NativeMessage message;
    for (;;) {
        if (platform::peekMessage(&message)) {
            if (!platform::getMessage(&message)) return static_cast<int>(message.wParam);
            platform::translateMessage(message);
            platform::dispatchMessage(message);
            continue;
        }
        if (!idleTarget) {
            platform::waitMessage(kNoTargetWaitMs);
            continue;
        }
        Clock::time_point now = Clock::now();
        if (now < nextIdle) {
            auto remaining = std::chrono::ceil<std::chrono::milliseconds>(nextIdle - now);
            platform::waitMessage(static_cast<uint32_t>(remaining.count()));
            continue;
        }
        mxEvent event;
        event.type = mxEvent::Idle;
        mxWindow* target = idleTarget;
        idleWithinUs = -1;
        bool handled = target->handleEvent(&event) != 0;
        // The target may have gone during its handler (quitting clears it).
        int refresh = idleTarget == target ? platform::displayRefreshRate(target->getHandle()) : 0;
        long long interval = mxIdleIntervalMicroseconds(handled, refresh);
        if (idleWithinUs >= 0 && idleWithinUs < interval) interval = idleWithinUs;
        nextIdle = now + std::chrono::microseconds(interval);
    }
}

long mxIdleIntervalMicroseconds(bool handled, int refreshRate) {
    if (!handled) return kUnhandledIdleIntervalUs;
    if (refreshRate <= 0) refreshRate = kFallbackRefreshRate;
    return 1000000L / refreshRate;
}

void mxAppClose() {
    quitting = true;
    while (destroyNewestWidget()) {
    }
    if (registry) releaseRegistry();
    platform::unregisterWindowClass(mxWindowClassName);
}

void mxAppQuit() {
    mxAppClose();
    platform::postQuitMessage(0);
}

void mxAppSetIdleTarget(mxWindow* target) { idleTarget = target; }

void mxAppNextIdleWithin(uint32_t milliseconds) { idleWithinUs = 1000LL * milliseconds; }

unsigned mxMessageBoxStyle(int flags) {
    unsigned style = MB_OK;
    if (flags & MSG_YESNO)
        style = MB_YESNO;
    else if (flags & MSG_YESNOCANCEL)
        style = MB_YESNOCANCEL;
    if (flags & MSG_INFO)
        style |= MB_ICONINFORMATION;
    else if (flags & MSG_ERROR)
        style |= MB_ICONERROR;
    else if (flags & MSG_WARNING)
        style |= MB_ICONWARNING;
    else if (flags & MSG_QUESTION)
        style |= MB_ICONQUESTION;
    return style;
}

int mxMessageBoxResult(int answer) {
    if (answer == IDCANCEL) return 2;
    if (answer == IDNO) return 1;
    return 0;
}

int mxShowMessage(mxWindow* owner, const char* text, const char* caption, int flags) {
    if (!text) text = "";
    if (!caption) caption = "";
    NativeWindow ownerWindow = owner ? owner->getHandle() : nullptr;
    int answer = platform::messageBox(ownerWindow, text, caption, mxMessageBoxStyle(flags));
    if (answer == 0) {
        // No box could be shown; the message must not be lost.
        std::fprintf(stderr, "%s: %s\n", caption, text);
        std::fflush(stderr);
    }
    return mxMessageBoxResult(answer);
}

NativeDisplayMode mxDisplayModeRecord(int width, int height, int bits) {
    NativeDisplayMode mode{};
    mode.size = sizeof(NativeDisplayMode);
    mode.fields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.bitsPerPel = static_cast<uint32_t>(bits);
    mode.pelsWidth = static_cast<uint32_t>(width);
    mode.pelsHeight = static_cast<uint32_t>(height);
    return mode;
}

int mxAppSetScreenMode(int width, int height, int bits) {
    if (width && height && bits) {
        NativeDisplayMode mode = mxDisplayModeRecord(width, height, bits);
        platform::changeDisplaySettings(&mode, CDS_FULLSCREEN);
    } else {
        platform::changeDisplaySettings(nullptr, 0);
    }
    return 0;
}

void registerWidget(mxWidget* widget) {
    if (!registry) return;
    RegistryNode* node = new (std::nothrow) RegistryNode;
    if (!node) return;
    node->widget = widget;
    node->prev = registry->tail.prev;
    node->next = &registry->tail;
    registry->tail.prev->next = node;
    registry->tail.prev = node;
    ++registry->count;
}

void unregisterWidget(mxWidget* widget) {
    if (!registry) return;
    RegistryNode* node = registry->head.next;
    while (node != &registry->tail) {
        RegistryNode* next = node->next;
        if (node->widget == widget) {
            node->prev->next = node->next;
            node->next->prev = node->prev;
            delete node;
        }
        node = next;
    }
    --registry->count;
}
