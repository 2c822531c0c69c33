#include "tests/platform/controllers/ControllerTestSupport.h"

#include "platform/graphics/Image.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

class PickingOwner final : public UIImagePickerControllerDelegate {
public:
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController*, const platform::Dictionary& info) override
    {
        picked.push_back(info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>());
    }
    void imagePickerControllerDidCancel(UIImagePickerController*) override { ++cancelled; }
    std::vector<std::shared_ptr<UIImage>> picked;
    int cancelled = 0;
};

// HOME (and no XDG_CONFIG_HOME) for the life of the object; the old values come back after.
class HomeOverride final {
public:
    explicit HomeOverride(const std::string& home)
        : home_(saved("HOME"))
        , config_(saved("XDG_CONFIG_HOME"))
    {
        setenv("HOME", home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    ~HomeOverride()
    {
        restore("HOME", home_);
        restore("XDG_CONFIG_HOME", config_);
    }
    HomeOverride(const HomeOverride&) = delete;
    HomeOverride& operator=(const HomeOverride&) = delete;

private:
    static std::optional<std::string> saved(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void restore(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    std::optional<std::string> home_;
    std::optional<std::string> config_;
};

void writePicture(const std::filesystem::path& path, int width, int height, bool jpeg)
{
    std::filesystem::create_directories(path.parent_path());
    platform::Image image(width, height, 1.0, platform::Color::fromRGB255(40, 120, 200));
    ASSERT_TRUE(jpeg ? image.writeJPEG(path.string(), 0.9) : image.writePNG(path.string())) << path;
}

class ImagePickerAlbum : public UIKitFixture { };

} // namespace

// The camera is there only when the device says so; the album always is. A
// picture file reaches the delegate as the original image, anything else
// reaches nobody; cancelling is heard once.
TEST(ImagePicker, HandsOverAPictureFileOrTheCancel)
{
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeSavedPhotosAlbum));
    UIImagePickerController::setCameraAvailable(true);
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    UIImagePickerController::setCameraAvailable(false);

    auto owner = std::make_shared<PickingOwner>();
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setDelegate(owner);
    testsupport::TempDir dir("orb-picker");
    std::filesystem::path file = dir / "picked.png";
    platform::Image image(64, 48, 1.0, platform::Color::fromRGB255(200, 40, 40));
    ASSERT_TRUE(image.writePNG(file.string()));

    EXPECT_FALSE(picker->pickImageAtPath((file.parent_path() / "missing.png").string()));
    EXPECT_TRUE(picker->pickImageAtPath(file.string()));
    ASSERT_EQ(owner->picked.size(), 1u);
    ASSERT_NE(owner->picked[0], nullptr);
    EXPECT_EQ(owner->picked[0]->CGImage().pixelWidth(), 64);
    picker->cancel();
    EXPECT_EQ(owner->cancelled, 1);
}

// The album is the Pictures folder named in ~/.config/user-dirs.dirs: its
// two pictures (a PNG and a JPEG) are listed by name with thumbnails, while
// a text file, a text file named like a picture, a hidden picture and the
// unconfigured ~/Pictures are not; a tap on a row hands that picture over.
TEST_F(ImagePickerAlbum, ListsThePicturesOfTheConfiguredFolderAndATapPicksOne)
{
    std::filesystem::path home = tempDir();
    HomeOverride override(home.string());
    std::filesystem::create_directories(home / ".config");
    testsupport::writeTextFile((home / ".config").string() + "/user-dirs.dirs",
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        "XDG_PICTURES_DIR=\"$HOME/照片\"\n");
    std::filesystem::path pictures = home / "照片";
    writePicture(pictures / "b-sunset.jpg", 80, 60, true);
    writePicture(pictures / "a-class.png", 64, 48, false);
    writePicture(pictures / ".hidden.png", 10, 10, false);
    writePicture(home / "Pictures" / "elsewhere.png", 10, 10, false);
    testsupport::writeTextFile((pictures / "notes.txt").string(), "not a picture\n");
    testsupport::writeTextFile((pictures / "fake.png").string(), "not a picture either\n");
    std::filesystem::create_directories(pictures / "folder.jpg");

    EXPECT_EQ(UIImagePickerController::picturesDirectory(), pictures.string());

    auto owner = std::make_shared<PickingOwner>();
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setDelegate(owner);
    std::vector<std::string> expected { (pictures / "a-class.png").string(), (pictures / "b-sunset.jpg").string() };
    EXPECT_EQ(picker->albumImagePaths(), expected);

    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    root->presentViewController(picker, false);
    advance(1.0);
    ASSERT_TRUE(picker->isViewLoaded());
    auto table = picker->albumTableView();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    window->layoutIfNeeded();
    auto first = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    auto second = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->textLabel()->text(), "a-class.png");
    EXPECT_EQ(second->textLabel()->text(), "b-sunset.jpg");
    ASSERT_NE(second->imageView()->image(), nullptr);
    EXPECT_GT(second->imageView()->image()->size().width, 0);
    EXPECT_TRUE(owner->picked.empty());

    tapView(second);
    ASSERT_EQ(owner->picked.size(), 1u);
    ASSERT_NE(owner->picked[0], nullptr);
    EXPECT_EQ(owner->picked[0]->CGImage().pixelWidth(), 80);
    EXPECT_EQ(owner->picked[0]->CGImage().pixelHeight(), 60);

    EXPECT_TRUE(picker->pickAlbumImageAtIndex(0));
    ASSERT_EQ(owner->picked.size(), 2u);
    EXPECT_EQ(owner->picked[1]->CGImage().pixelWidth(), 64);
    EXPECT_FALSE(picker->pickAlbumImageAtIndex(2));
    EXPECT_EQ(owner->picked.size(), 2u);

    // The screen's cancel button is the cancel.
    std::shared_ptr<UIButton> cancelButton;
    for (const auto& subview : picker->view()->subviews()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(subview); button && button->currentTitle() == "取消")
            cancelButton = button;
    }
    ASSERT_NE(cancelButton, nullptr);
    tapView(cancelButton);
    EXPECT_EQ(owner->cancelled, 1);
    EXPECT_EQ(owner->picked.size(), 2u);

    // A picture added later shows after a reload.
    writePicture(pictures / "c-new.png", 12, 12, false);
    picker->reloadAlbum();
    EXPECT_EQ(table->numberOfRowsInSection(0), 3);
}

// Without user-dirs.dirs (or without a pictures line in it) the album is ~/Pictures.
TEST_F(ImagePickerAlbum, FallsBackToPicturesInTheHomeFolder)
{
    std::filesystem::path home = tempDir();
    HomeOverride override(home.string());
    std::filesystem::create_directories(home / ".config");
    writePicture(home / "Pictures" / "only.png", 20, 10, false);
    testsupport::writeTextFile((home / "Pictures" / "list.txt").string(), "1 2 3\n");
    EXPECT_EQ(UIImagePickerController::picturesDirectory(), (home / "Pictures").string());
    EXPECT_EQ(UIImagePickerController::listPictures((home / "Pictures").string()),
        std::vector<std::string> { (home / "Pictures" / "only.png").string() });

    testsupport::writeTextFile((home / ".config").string() + "/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Music\"\n");
    EXPECT_EQ(UIImagePickerController::picturesDirectory(), (home / "Pictures").string());

    auto picker = std::make_shared<UIImagePickerController>();
    ASSERT_EQ(picker->albumImagePaths().size(), 1u);
    EXPECT_EQ(picker->albumImagePaths()[0], (home / "Pictures" / "only.png").string());
    EXPECT_TRUE(UIImagePickerController::listPictures((home / "missing").string()).empty());
}

// A NUL inside the pictures line would cut the folder's name short when the
// folder is opened (here "$HOME/照片\0/secret" would open ~/照片): the line is
// refused as if it were not there, and an earlier sound line, or else
// ~/Pictures, is the album.
TEST_F(ImagePickerAlbum, APicturesLineWithANulIsRefused)
{
    using namespace std::string_literals;
    std::filesystem::path home = tempDir();
    HomeOverride override(home.string());
    std::filesystem::create_directories(home / ".config");
    writePicture(home / "照片" / "wrong.png", 10, 10, false);
    writePicture(home / "Pictures" / "right.png", 10, 10, false);
    const std::string dirs = (home / ".config").string() + "/user-dirs.dirs";

    ASSERT_TRUE(testsupport::writeTextFile(dirs, "XDG_PICTURES_DIR=\"$HOME/照片\0/secret\"\n"s));
    EXPECT_EQ(UIImagePickerController::picturesDirectory(), (home / "Pictures").string());
    auto picker = std::make_shared<UIImagePickerController>();
    EXPECT_EQ(picker->albumImagePaths(), std::vector<std::string> { (home / "Pictures" / "right.png").string() });

    ASSERT_TRUE(testsupport::writeTextFile(dirs, "XDG_PICTURES_DIR=\"/tmp\0\"\n"s));
    EXPECT_EQ(UIImagePickerController::picturesDirectory(), (home / "Pictures").string());

    ASSERT_TRUE(testsupport::writeTextFile(dirs,
        "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n"
        "XDG_PICTURES_DIR=\"$HOME/照片\0\"\n"s));
    EXPECT_EQ(UIImagePickerController::picturesDirectory(), (home / "Pictures").string());
}

// Pictures of every shape, and one that starts like a PNG but does not
// decode, get thumbnails of one size: the names beside them start at one
// edge and the thumbnails sit in one column.
TEST_F(ImagePickerAlbum, NamesLineUpWhateverThePicturesShapes)
{
    std::filesystem::path home = tempDir();
    HomeOverride override(home.string());
    std::filesystem::path pictures = home / "Pictures";
    writePicture(pictures / "a-wide.png", 400, 100, false);
    writePicture(pictures / "b-tall.jpg", 60, 240, true);
    writePicture(pictures / "c-tiny.png", 8, 8, false);
    testsupport::writeTextFile((pictures / "d-broken.png").string(), std::string("\x89PNG\r\n\x1a\n", 8) + "garbage");

    auto picker = std::make_shared<UIImagePickerController>();
    ASSERT_EQ(picker->albumImagePaths().size(), 4u);
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    root->presentViewController(picker, false);
    advance(1.0);
    auto table = picker->albumTableView();
    ASSERT_NE(table, nullptr);
    window->layoutIfNeeded();

    std::vector<platform::Rect> labels;
    std::vector<platform::Rect> thumbnails;
    for (long row = 0; row < 4; ++row) {
        auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
        ASSERT_NE(cell, nullptr) << row;
        cell->layoutIfNeeded();
        labels.push_back(cell->textLabel()->frame());
        ASSERT_NE(cell->imageView()->image(), nullptr) << row;
        thumbnails.push_back(cell->imageView()->frame());
    }
    for (std::size_t row = 1; row < labels.size(); ++row) {
        EXPECT_EQ(labels[row].minX(), labels[0].minX()) << "row " << row;
        EXPECT_EQ(labels[row].width(), labels[0].width()) << "row " << row;
        EXPECT_EQ(thumbnails[row], thumbnails[0]) << "row " << row;
    }
    EXPECT_EQ(thumbnails[0].width(), thumbnails[0].height());
    EXPECT_GT(thumbnails[0].width(), 0);
    EXPECT_GT(labels[0].minX(), thumbnails[0].maxX());
    std::filesystem::create_directories("renders");
    EXPECT_TRUE(UIWindow::renderScreenToPNG("renders/image-picker-album.png", 2));
}
