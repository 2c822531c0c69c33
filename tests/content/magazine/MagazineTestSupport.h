#pragma once

#include "content/magazine/MagazineItemView.h"
#include "content/magazine/MagazineListViewController.h"
#include "content/magazine/MagazineViewController.h"
#include "core/store/MagazineInfo.h"
#include "server/ReplyScript.h"
#include "tests/support/app/SignedInScreen.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace magazinetest {

// The demo teacher's shelf as the stand-in serves it: issues 1 to 4, none
// opened yet, two advertisements; issue 1 has three directories with the
// chapters 101 | 103 104 | 105 106, the first of each a head chapter.
class MagazineScreenTest : public testsupport::SignedInScreenTest {
protected:
    // Signs in and opens the shelf as the navigation row would: made by
    // name, pushed on the message tab; waits until the sync's answer has been
    // laid out.
    std::shared_ptr<content::MagazineListViewController> openShelf();
    // The shelf's tiles in their order on screen.
    std::vector<std::shared_ptr<content::MagazineItemView>> tiles(const content::MagazineListViewController& shelf) const;
    std::shared_ptr<content::MagazineItemView> tileOf(const content::MagazineListViewController& shelf, int postId) const;
    // The texts of the tile's labels, in the order they lie in the tile:
    // number, year, month, read count, name.
    static std::vector<std::string> labelTexts(const UIView& tile);
    // Taps the tile of the issue and waits for the reader to be on top.
    std::shared_ptr<content::MagazineViewController> openIssue(
        const content::MagazineListViewController& shelf, int postId);
    // Waits until the reader's directory shows its issue.
    bool waitForDirectory(const content::MagazineViewController& reader);
    // Waits until the front web view has shown the chapter.
    bool waitForChapter(const content::MagazineViewController& reader, int chapterId);
    // The stored issue of the signed-in account with that server id.
    static std::shared_ptr<core::MagazineInfo> storedIssue(int postId);
    // Rows of a table of the database file, read with a connection of the test's own.
    int countRows(const std::string& sql) const;
    // Pops the top screen and lets the transition end.
    void goBack();
    // A list reply of the test's own.
    static server::ScriptedReply reply(platform::Dictionary body);
};

} // namespace magazinetest
