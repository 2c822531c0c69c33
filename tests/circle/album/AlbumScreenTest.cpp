#include "tests/circle/album/AlbumScreenTest.h"

#include "app/main/ORBViewController.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/graphics/Image.h"
#include "platform/os/AppPaths.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIImagePickerController.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"

using foundation::SQLDatabase;

namespace circletest {

std::shared_ptr<UIViewController> AlbumScreenTest::makeScreen(const char* name) const
{
    return platform::ClassRegistry::shared().createAs<UIViewController>(name);
}

int AlbumScreenTest::tabOfCircle() { return ORBViewController::kCircleTab; }

void AlbumScreenTest::attachPhoto(const platform::Color& colour)
{
    std::string path = platform::FileUtil::joinPath(
        platform::AppPaths::temporaryDirectory(), "album-pick-" + std::to_string(++pictures_) + ".png");
    ASSERT_TRUE(platform::Image(900, 600, 1.0, colour).writePNG(path));
    ASSERT_TRUE(harness().tap(outlet("addImageBtn")));
    ASSERT_TRUE(harness().tapButton(circle::AlbumPhotoStrip::kLibraryTitle));
    testsupport::settle(harness());
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness().presentedScreen());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
    EXPECT_FALSE(picker->allowsEditing());
    ASSERT_TRUE(picker->pickImageAtPath(path));
    testsupport::settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
}

void AlbumScreenTest::letOverlayGo()
{
    harness().advance(1.5);
    testsupport::settle(harness());
}

std::vector<server::LoggedRequest> AlbumScreenTest::uploads() const
{
    std::vector<server::LoggedRequest> found;
    for (auto& request : harness().server()->requests().all()) {
        if (request.route.rfind(kUploadRoute, 0) == 0)
            found.push_back(std::move(request));
    }
    return found;
}

std::size_t AlbumScreenTest::answeredUploads() const
{
    std::size_t done = 0;
    for (const auto& request : uploads())
        done += request.answered ? 1 : 0;
    return done;
}

std::vector<long long> AlbumScreenTest::albumsNamed(const std::string& name) const
{
    std::vector<long long> ids;
    auto db = SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
    if (!db->open())
        return ids;
    if (auto rows = db->executeQuery("SELECT album_id FROM album WHERE name = ? ORDER BY album_id", platform::Array { name })) {
        while (rows->next())
            ids.push_back(rows->longLongIntForColumnIndex(0));
        rows->close();
    }
    db->close();
    return ids;
}

std::vector<std::string> AlbumScreenTest::photosOf(long long albumId) const
{
    std::vector<std::string> urls;
    auto db = SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
    if (!db->open())
        return urls;
    if (auto rows = db->executeQuery("SELECT url FROM album_photo WHERE album_id = ? ORDER BY id", platform::Array { albumId })) {
        while (rows->next())
            urls.push_back(rows->stringForColumnIndex(0).value_or(""));
        rows->close();
    }
    db->close();
    return urls;
}

} // namespace circletest
