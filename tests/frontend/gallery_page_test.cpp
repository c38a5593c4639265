// The gallery's page: names from files are text, paths are addresses.
#include <gtest/gtest.h>

#include "frontend/commands/gallery_page.h"

namespace {

TEST(GalleryPage, NamesFromFilesAreTextAndPathsAreAddresses) {
    EXPECT_EQ(frontend::escapeHtml("<s>a & \"b\" 'c'</s>"), "&lt;s&gt;a &amp; &quot;b&quot; &#39;c&#39;&lt;/s&gt;");
    EXPECT_EQ(frontend::urlPath("pictures/a b#1?%\xC3\xA9.gif"), "pictures/a%20b%231%3F%25%C3%A9.gif");
    frontend::GalleryEntry entry;
    entry.name = "<img src=x onerror=alert(1)>";
    entry.facts = {{"file", "\"/><script>bad()</script>"},
                   {"frames", 2},
                   {"animations", {{{"name", "<b>run</b>"}, {"first", 0}, {"last", 1}}}},
                   {"skin", nullptr},
                   {"problems", {"a <problem>"}}};
    entry.gif = "pictures/" + entry.name + ".gif";
    entry.animationGifs = {"animations/x/_b_run__b_.gif"};
    const std::string page = frontend::galleryPage({entry}, 64, 64);
    EXPECT_EQ(page.find("<img src=x"), std::string::npos);
    EXPECT_EQ(page.find("<script>bad"), std::string::npos);
    EXPECT_EQ(page.find("<b>run"), std::string::npos);
    EXPECT_EQ(page.find("<problem>"), std::string::npos);
    EXPECT_NE(page.find("&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
    // One script, the page's own filter; no address leads elsewhere.
    EXPECT_EQ(page.find("<script"), page.rfind("<script"));
    EXPECT_EQ(page.find("://"), std::string::npos);
    EXPECT_EQ(frontend::galleryIndex({entry})[0]["animations"][0]["gif"], "animations/x/_b_run__b_.gif");
}

}  // namespace
