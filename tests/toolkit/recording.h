#pragma once
// Test windows that record what the toolkit delivers to them, and fake
// native controls that answer the tab-control and tree-view queries.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/internal.h"
#include "toolkit/mxApp.h"
#include "toolkit/mxWindow.h"
#include "toolkit/platform.h"

struct Delivery {
    mxWindow* window;
    mxEvent event;
};

class RecordingWindow : public mxWindow {
public:
    RecordingWindow(std::vector<Delivery>* log, mxWindow* parent = nullptr, int style = mxWindow::Popup)
        : mxWindow(parent, 10, 20, 200, 100, "recording", style), log_(log) {}

    int handleEvent(mxEvent* event) override {
        if (log_) log_->push_back(Delivery{this, *event});
        return onEvent ? onEvent(event) : answer;
    }
    bool redraw() override {
        ++redraws;
        return true;
    }

    int answer = 0;
    int redraws = 0;
    std::function<int(mxEvent*)> onEvent;

private:
    std::vector<Delivery>* log_;
};

// A widget standing for a native control of another class (edit field,
// tab control, tree view ...): a child native window of that class that
// leads back to the widget.
class ControlWidget : public mxWidget {
public:
    ControlWidget(mxWindow* parent, const char* className, int id, int x = 0, int y = 0, int w = 50, int h = 20)
        : mxWidget(parent, x, y, w, h, "") {
        NativeWindowCreation c;
        c.className = className;
        c.style = WS_CHILD | WS_VISIBLE;
        c.x = x;
        c.y = y;
        c.width = w;
        c.height = h;
        c.parent = parent ? parent->getHandle() : nullptr;
        NativeWindow window = platform::createWindow(c);
        platform::setWindowLong(window, GWLP_USERDATA, reinterpret_cast<intptr_t>(static_cast<mxWidget*>(this)));
        setHandle(window);
        setId(id);
    }
};

// What the fake controls answer, and the queries they were asked.
struct FakeControlState {
    intptr_t currentTab = 0;
    std::vector<mxWidget*> tabPages;
    NativeRect tabHeader{0, 0, 60, 20};
    intptr_t selectedItem = 0x1234;
    NativeRect itemRect{0, 0, 0, 0};
    bool itemRectAnswers = true;
    std::vector<unsigned> queries;
    intptr_t lastItemInRect = 0;
};

FakeControlState& fakeControls();

// Registers fake control classes: "SysTabControl32", "SysTreeView32", "edit",
// "ComboBox", "listbox", "button", "scrollbar".
void registerFakeControlClasses();
