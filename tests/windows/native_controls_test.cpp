// The real native controls of Windows (comctl32 and user32 under Wine)
// inside toolkit windows: what they tell their parent on their own, from
// input they process themselves, becomes the events the toolkit's rules give.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/toolkit/recording.h"

namespace {

class NativeControls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mxAppInit(0, nullptr), 1);
        parent = new RecordingWindow(&log, nullptr, mxWindow::Popup);
        parent->setBounds(0, 0, 400, 300);
        parent->setVisible(true);
        parent->answer = 1;
    }
    // Lets the window procedure see what was posted (as the loop would).
    void pump() {
        NativeMessage m;
        while (platform::peekMessage(&m)) {
            if (!platform::getMessage(&m)) break;
            platform::translateMessage(m);
            platform::dispatchMessage(m);
        }
    }
    std::vector<Delivery> actions() {
        std::vector<Delivery> out;
        for (const Delivery& d : log)
            if (d.event.type == mxEvent::Action) out.push_back(d);
        return out;
    }
    HWND hwnd(mxWidget* w) { return reinterpret_cast<HWND>(w->getHandle()); }

    std::vector<Delivery> log;
    RecordingWindow* parent = nullptr;
};

LPARAM point(int x, int y) { return MAKELPARAM(x, y); }

TEST_F(NativeControls, TabControlSwitchesPagesOnAClick) {
    ControlWidget* tab = new ControlWidget(parent, WC_TABCONTROLA, 9, 0, 0, 300, 200);
    ASSERT_NE(tab->getHandle(), nullptr);
    RecordingWindow* page0 = new RecordingWindow(nullptr, parent);
    RecordingWindow* page1 = new RecordingWindow(nullptr, parent);
    char first[] = "First", second[] = "Second";
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = first;
    item.lParam = reinterpret_cast<LPARAM>(static_cast<mxWidget*>(page0));
    ASSERT_EQ(SendMessageA(hwnd(tab), TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
    item.pszText = second;
    item.lParam = reinterpret_cast<LPARAM>(static_cast<mxWidget*>(page1));
    ASSERT_EQ(SendMessageA(hwnd(tab), TCM_INSERTITEMA, 1, reinterpret_cast<LPARAM>(&item)), 1);
    page1->setVisible(false);
    tab->setBounds(10, 10, 300, 200);  // lays out the current page
    EXPECT_TRUE(IsWindowVisible(hwnd(page0)));

    // A click on the second tab's header, handled by the control itself.
    RECT header;
    ASSERT_TRUE(SendMessageA(hwnd(tab), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&header)));
    int x = (header.left + header.right) / 2, y = (header.top + header.bottom) / 2;
    SendMessageA(hwnd(tab), WM_LBUTTONDOWN, MK_LBUTTON, point(x, y));
    SendMessageA(hwnd(tab), WM_LBUTTONUP, 0, point(x, y));
    pump();
    EXPECT_EQ(SendMessageA(hwnd(tab), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_FALSE(IsWindowVisible(hwnd(page0)));
    EXPECT_TRUE(IsWindowVisible(hwnd(page1)));
    std::vector<Delivery> a = actions();
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].window, parent);
    EXPECT_EQ(a[0].event.widget, tab);
    EXPECT_EQ(a[0].event.action, 9);

    // The new page fills the display area the rules give: inside the edges,
    // below the header row.
    RECT tabRect, pageRect, row;
    GetWindowRect(hwnd(tab), &tabRect);
    GetWindowRect(hwnd(page1), &pageRect);
    SendMessageA(hwnd(tab), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    int ex = GetSystemMetrics(SM_CXEDGE), ey = GetSystemMetrics(SM_CYEDGE);
    EXPECT_EQ(pageRect.left - tabRect.left, 2 * ex);
    EXPECT_EQ(pageRect.top - tabRect.top, 3 * ey + (row.bottom - row.top));
    EXPECT_EQ(tabRect.right - pageRect.right, 2 * ex);
    EXPECT_EQ(tabRect.bottom - pageRect.bottom, 2 * ey);
}

TEST_F(NativeControls, TreeViewReportsTheSelectedItemsCorner) {
    ControlWidget* tree = new ControlWidget(parent, WC_TREEVIEWA, 3, 10, 10, 200, 200);
    tree->setType(mxWidget::TypeTreeView);
    char apple[] = "Apple", pear[] = "Pear";
    TVINSERTSTRUCTA insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = apple;
    SendMessageA(hwnd(tree), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
    insert.item.pszText = pear;
    HTREEITEM second =
        reinterpret_cast<HTREEITEM>(SendMessageA(hwnd(tree), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    ASSERT_NE(second, nullptr);

    SendMessageA(hwnd(tree), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(second));
    pump();
    RECT text{};
    std::memcpy(static_cast<void*>(&text), &second, sizeof second);  // the item goes in, its rectangle comes out
    ASSERT_TRUE(SendMessageA(hwnd(tree), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&text)));
    std::vector<Delivery> a = actions();
    ASSERT_GE(a.size(), 1u);
    const mxEvent& e = a.back().event;
    EXPECT_EQ(e.widget, tree);
    EXPECT_EQ(e.action, 3);
    EXPECT_EQ(e.flags, 0);
    EXPECT_EQ(e.x, text.left);
    EXPECT_EQ(e.y, text.bottom);
    EXPECT_GT(e.y, 0);

    // A double click on the item: the tree says so, and its default handling is skipped.
    log.clear();
    int x = (text.left + text.right) / 2, y = (text.top + text.bottom) / 2;
    SendMessageA(hwnd(tree), WM_LBUTTONDBLCLK, MK_LBUTTON, point(x, y));
    SendMessageA(hwnd(tree), WM_LBUTTONUP, 0, point(x, y));
    pump();
    bool doubleClicked = false;
    for (const Delivery& d : actions())
        doubleClicked |= d.event.flags == mxEvent::DoubleClicked && d.event.x == text.left;
    EXPECT_TRUE(doubleClicked);
}

TEST_F(NativeControls, ButtonAndEditFieldCommands) {
    ControlWidget* button = new ControlWidget(parent, WC_BUTTONA, 8, 10, 10, 80, 24);
    SendMessageA(hwnd(button), BM_CLICK, 0, 0);
    pump();
    std::vector<Delivery> a = actions();
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].event.widget, button);
    EXPECT_EQ(a[0].event.action, 8);

    // An edit field: focus changes pass by, a change of its text arrives.
    log.clear();
    ControlWidget* edit = new ControlWidget(parent, WC_EDITA, 5, 10, 40, 120, 24);
    SetFocus(hwnd(edit));
    pump();
    EXPECT_TRUE(actions().empty());
    SendMessageA(hwnd(edit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed"));
    pump();
    a = actions();
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].event.widget, edit);
    EXPECT_EQ(a[0].event.action, 5);
}

}  // namespace
