// Paths and names as every program keeps them: '/' between parts, the file
// name's ending, a path from another folder.
#include <gtest/gtest.h>

#include "common/path.h"

namespace {

TEST(Paths, NamesBesideAndEndings) {
    EXPECT_EQ(nameBeside("out/knight.glb", "bin"), "out/knight.bin");
    EXPECT_EQ(nameBeside("out.d/knight", "png"), "out.d/knight.png");
    EXPECT_EQ(nameBeside("out/knight.v2.OBJ", "mtl"), "out/knight.v2.mtl");
    EXPECT_EQ(extensionOf("a.d/Knight.MD2"), "md2");
    EXPECT_EQ(extensionOf("a.d/knight"), "");
    EXPECT_EQ(stemOf("knight.v2.obj"), "knight.v2");
}

TEST(Paths, RelativeFromAFolder) {
    EXPECT_EQ(relativePath("/g/models/knight/skin.pcx", "/g/models"), "knight/skin.pcx");
    EXPECT_EQ(relativePath("/g/skins/knight.pcx", "/g/models"), "../skins/knight.pcx");
    EXPECT_EQ(relativePath("/g/models/knight.md2", "/g/models"), "knight.md2");
    EXPECT_EQ(absolutePath("/g/./a/../b/"), "/g/b");
}

}  // namespace
