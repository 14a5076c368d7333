// The screenshot tool through the built module, which draws its editor off-screen into a picture
// when the tool asks for it through the environment.
#include <fstream>
#include <unistd.h>

#include "editor/TestSupport.h"

namespace {

const std::string kTool = std::string("'") + STAMMERIX_SHOT_TOOL + "' ";
const std::string kModule = std::string("'") + STAMMERIX_MODULE_PATH + "' ";

// The picture the README shows: the editor with a drum loop, both markers, and, of the two keys
// held at the shot, the button of the one pressed last (C: overwrite at the bar position).
TEST(ShotTool, PictureShowsTheEditorWithTheLoopItsMarkersAndTheHeldKey) {
    std::string said;
    ASSERT_EQ(run(kTool + kModule + "editor-shot.png", &said), 0) << said;
    EXPECT_NE(said.find("editor-shot.png"), std::string::npos) << "the tool names its picture";
    EXPECT_TRUE(samePicture("editor-shot.png", STAMMERIX_SOURCE_DIR "/docs/stammerix.png"));
}

// An old picture must not pass for a new one.
TEST(ShotTool, RefusesWhatItCannotShootAndLeavesNoPicture) {
    std::ofstream("stale.png") << "an older picture";
    std::string said;
    EXPECT_EQ(run(kTool + "/nonexistent/module.so stale.png", &said), 1);
    EXPECT_NE(access("stale.png", F_OK), 0);
    EXPECT_EQ(run(kTool + kModule + "no/such/folder/editor.png", &said), 1);
    EXPECT_NE(said.find("cannot load"), std::string::npos) << said;
    EXPECT_NE(said.find("saved no picture"), std::string::npos) << said;
    EXPECT_EQ(run(kTool), 2);
}

} // namespace
