#include "recording.h"

#include <cstring>

FakeControlState& fakeControls() {
    static FakeControlState state;
    return state;
}

namespace {

intptr_t fakeControlProcedure(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    FakeControlState& s = fakeControls();
    switch (message) {
    case TCM_GETCURSEL:
        s.queries.push_back(message);
        return s.currentTab;
    case TCM_GETITEMA: {
        s.queries.push_back(message);
        auto* item = reinterpret_cast<NativeTabItem*>(lParam);
        if (wParam >= s.tabPages.size() || !(item->mask & TCIF_PARAM)) return 0;
        item->param = reinterpret_cast<intptr_t>(s.tabPages[wParam]);
        return 1;
    }
    case TCM_GETITEMRECT:
        s.queries.push_back(message);
        *reinterpret_cast<NativeRect*>(lParam) = s.tabHeader;
        return 1;
    case TVM_GETNEXTITEM:
        s.queries.push_back(message);
        return wParam == TVGN_CARET ? s.selectedItem : 0;
    case TVM_GETITEMRECT: {
        s.queries.push_back(message);
        std::memcpy(&s.lastItemInRect, reinterpret_cast<void*>(lParam), sizeof(intptr_t));
        if (!s.itemRectAnswers || wParam != 1) return 0;
        *reinterpret_cast<NativeRect*>(lParam) = s.itemRect;
        return 1;
    }
    default:
        return platform::defWindowProc(window, message, wParam, lParam);
    }
}

}  // namespace

void registerFakeControlClasses() {
    for (const char* name :
         {"SysTabControl32", "SysTreeView32", "edit", "ComboBox", "listbox", "button", "scrollbar"}) {
        NativeWindowClass c;
        c.name = name;
        c.procedure = fakeControlProcedure;
        platform::registerWindowClass(c);
    }
}
