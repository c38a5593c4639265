#include "toolkit/internal.h"

#include <cctype>

#include "toolkit/platform.h"

void mxReadClassName(NativeWindow window, char (&name)[kClassNameSize]) {
    if (!window || platform::getClassName(window, name, kClassNameSize) <= 0) name[0] = '\0';
}

bool mxEqualsIgnoringCase(const char* a, const char* b) {
    if (!a || !b) return a == b;
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    }
    return *a == *b;
}

mxWidget* mxCurrentTabPage(NativeWindow tab, intptr_t* index) {
    intptr_t current = platform::sendMessage(tab, TCM_GETCURSEL, 0, 0);
    if (current < 0) return nullptr;
    if (index) *index = current;
    NativeTabItem item;
    item.mask = TCIF_PARAM;
    if (!platform::sendMessage(tab, TCM_GETITEMA, static_cast<uintptr_t>(current), reinterpret_cast<intptr_t>(&item)))
        return nullptr;
    return reinterpret_cast<mxWidget*>(item.param);
}
