// The picker's crop screen, with editing allowed: a chosen picture waits
// under a square frame (the largest centred square at first), is dragged and
// zoomed by the person within the picture, and "选取" hands over the square
// with the original; "取消" goes back to choosing.
#include "tests/platform/uikit/UIKitTestSupport.h"

#include "platform/graphics/Image.h"
#include "platform/uikit/PickerWheels.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"

#include <cstdlib>
#include <filesystem>

namespace {

class CropOwner final : public UIImagePickerControllerDelegate {
public:
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController*, const platform::Dictionary& info) override
    {
        infos.push_back(info);
    }
    void imagePickerControllerDidCancel(UIImagePickerController*) override { ++cancelled; }
    std::vector<platform::Dictionary> infos;
    int cancelled = 0;
};

// Three bands side by side: red (a quarter of the width), green (half) and blue.
std::shared_ptr<UIImage> bands(int width, int height)
{
    platform::Image image(width, height, 1.0, platform::Color::fromRGB255(255, 0, 0));
    for (int y = 0; y < height; ++y)
        for (int x = width / 4; x < width; ++x)
            image.setPixel(x, y, x < width * 3 / 4 ? std::array<std::uint8_t, 4> { 0, 255, 0, 255 }
                                                   : std::array<std::uint8_t, 4> { 0, 0, 255, 255 });
    return UIImage::imageWithCGImage(image);
}

platform::Rect rectIn(const platform::Dictionary& info)
{
    const auto* d = info.get(UIImagePickerControllerCropRect).asDictionary();
    if (!d)
        return {};
    return platform::Rect(d->get("x").doubleValue(), d->get("y").doubleValue(), d->get("width").doubleValue(),
        d->get("height").doubleValue());
}

bool allOneColour(const platform::Image& image, std::array<std::uint8_t, 4> colour)
{
    for (int y = 0; y < image.pixelHeight(); y += std::max(1, image.pixelHeight() / 8))
        for (int x = 0; x < image.pixelWidth(); x += std::max(1, image.pixelWidth() / 8))
            if (image.pixelAt(x, y) != colour)
                return false;
    return image.pixelAt(image.pixelWidth() - 1, image.pixelHeight() - 1) == colour;
}

// A variable of the environment set (or unset) for the life of the object.
class EnvironmentOverride final {
public:
    EnvironmentOverride(const char* name, const std::optional<std::string>& value)
        : name_(name)
    {
        if (const char* old = std::getenv(name))
            saved_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~EnvironmentOverride()
    {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

constexpr std::array<std::uint8_t, 4> kRed { 255, 0, 0, 255 };
constexpr std::array<std::uint8_t, 4> kGreen { 0, 255, 0, 255 };
constexpr std::array<std::uint8_t, 4> kBlue { 0, 0, 255, 255 };

class ImagePickerCrop : public UIKitTest {
protected:
    // A picker with editing on, presented over the window's root.
    std::shared_ptr<UIImagePickerController> present(bool editing = true)
    {
        auto picker = std::make_shared<UIImagePickerController>();
        picker->setAllowsEditing(editing);
        picker->setDelegate(owner);
        auto root = std::make_shared<UIViewController>();
        window->setRootViewController(root);
        root->presentViewController(picker, false);
        loop->runUntilIdle();
        window->layoutIfNeeded();
        return picker;
    }
    // A tap on the crop screen's button of that title.
    static bool tapTitled(const std::shared_ptr<UIImagePickerController>& picker, const std::string& title)
    {
        return picker->cropView() && testsupport::tap(testsupport::findViewByText(picker->cropView(), title));
    }

    std::shared_ptr<CropOwner> owner = std::make_shared<CropOwner>();
};

} // namespace

TEST_F(ImagePickerCrop, APictureWaitsUnderItsLargestCentredSquareAndUseHandsOverThatSquare)
{
    auto picker = present();
    auto picture = bands(400, 200);
    ASSERT_TRUE(picker->pickImage(picture));
    EXPECT_TRUE(owner->infos.empty()) << "nothing is handed over before the crop";
    EXPECT_EQ(picker->croppingImage(), picture);
    auto screen = picker->cropView();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(testsupport::isShownOnScreen(screen));
    EXPECT_EQ(picker->cropRect(), platform::Rect(100, 0, 200, 200));
    // The frame is a square as wide as the screen, between the title and the buttons.
    auto frame = picker->cropFrame();
    EXPECT_EQ(frame.width(), screen->bounds().width());
    EXPECT_EQ(frame.height(), frame.width());
    EXPECT_GE(frame.minY(), 64);
    EXPECT_LE(frame.maxY(), screen->bounds().height() - 64);

    ASSERT_TRUE(tapTitled(picker, "选取"));
    ASSERT_EQ(owner->infos.size(), 1u);
    const auto& info = owner->infos[0];
    EXPECT_EQ(info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>(), picture);
    auto edited = info.get(UIImagePickerControllerEditedImage).objectAs<UIImage>();
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->CGImage().pixelWidth(), 200);
    EXPECT_EQ(edited->CGImage().pixelHeight(), 200);
    EXPECT_TRUE(allOneColour(edited->CGImage(), kGreen));
    EXPECT_EQ(rectIn(info), platform::Rect(100, 0, 200, 200));
    EXPECT_EQ(owner->cancelled, 0);
}

// A drag moves the picture under the frame, never off it; "+" and "−" (and
// the wheel) zoom about the frame's centre within the limits, each button
// unavailable at its limit.
TEST_F(ImagePickerCrop, DragsAndZoomsKeepTheFrameOnThePicture)
{
    auto picker = present();
    ASSERT_TRUE(picker->pickImage(bands(400, 200)));
    auto screen = picker->cropView();
    ASSERT_NE(screen, nullptr);
    auto zoomIn = std::dynamic_pointer_cast<UIButton>(testsupport::findViewByText(screen, "+"));
    auto zoomOut = std::dynamic_pointer_cast<UIButton>(testsupport::findViewByText(screen, "−"));
    ASSERT_TRUE(zoomIn && zoomOut);
    EXPECT_TRUE(zoomIn->isEnabled());
    EXPECT_FALSE(zoomOut->isEnabled());

    // Dragged far to the right: the left edge of the picture stops at the frame's.
    auto centre = testsupport::screenCentreOf(screen);
    ASSERT_TRUE(testsupport::dragOut(screen, platform::Point(centre.x + 200, centre.y)));
    EXPECT_EQ(picker->cropRect(), platform::Rect(0, 0, 200, 200));
    // A finger's travel is the picture's, at the frame's scale (200 pixels on 320 points).
    picker->moveCrop(-80, 0);
    EXPECT_EQ(picker->cropRect(), platform::Rect(50, 0, 200, 200));

    ASSERT_TRUE(tapTitled(picker, "+"));
    ASSERT_TRUE(tapTitled(picker, "+"));
    EXPECT_DOUBLE_EQ(picker->cropZoom(), 1.5625);
    EXPECT_EQ(picker->cropRect(), platform::Rect(86, 36, 128, 128));
    EXPECT_TRUE(zoomOut->isEnabled());
    // The wheel turned towards the person zooms out a step.
    auto* wheel = dynamic_cast<PickerWheels*>(screen.get());
    ASSERT_NE(wheel, nullptr);
    EXPECT_TRUE(wheel->turnWheelAt(platform::Point(160, 200), 1));
    EXPECT_DOUBLE_EQ(picker->cropZoom(), 1.25);
    ASSERT_TRUE(tapTitled(picker, "−"));
    EXPECT_DOUBLE_EQ(picker->cropZoom(), 1);
    EXPECT_FALSE(zoomOut->isEnabled());
    EXPECT_FALSE(picker->zoomCrop(0.5)) << "never less than the largest square";
    EXPECT_EQ(picker->cropRect(), platform::Rect(50, 0, 200, 200));

    // As close as it goes, pushed to the lower right corner: a blue square.
    EXPECT_TRUE(picker->zoomCrop(100));
    EXPECT_DOUBLE_EQ(picker->cropZoom(), UIImagePickerController::kMaxZoom);
    EXPECT_FALSE(zoomIn->isEnabled());
    picker->moveCrop(-10000, -10000);
    EXPECT_EQ(picker->cropRect(), platform::Rect(350, 150, 50, 50));
    ASSERT_TRUE(picker->useCrop());
    ASSERT_EQ(owner->infos.size(), 1u);
    auto edited = owner->infos[0].get(UIImagePickerControllerEditedImage).objectAs<UIImage>();
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->CGImage().pixelWidth(), 50);
    EXPECT_TRUE(allOneColour(edited->CGImage(), kBlue));
    EXPECT_EQ(rectIn(owner->infos[0]), platform::Rect(350, 150, 50, 50));
}

// "取消" on the crop screen goes back to the album, which leads to the crop
// again; a tall picture's square is its middle, and a large one's is handed
// over at most 640 pixels a side.
TEST_F(ImagePickerCrop, CancelGoesBackToTheAlbumWhoseNextChoiceIsCroppedToo)
{
    std::filesystem::path home = tempDir();
    EnvironmentOverride homeOverride("HOME", home.string());
    EnvironmentOverride noConfig("XDG_CONFIG_HOME", std::nullopt);
    std::filesystem::create_directories(home / "Pictures");
    platform::Image large(1000, 1600, 1.0, platform::Color::fromRGB255(255, 0, 0));
    ASSERT_TRUE(large.writePNG((home / "Pictures" / "tall.png").string()));

    auto picker = present();
    auto table = picker->albumTableView();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->numberOfRowsInSection(0), 1);
    auto row = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    ASSERT_NE(row, nullptr);
    ASSERT_TRUE(testsupport::tap(row));
    ASSERT_NE(picker->cropView(), nullptr);
    EXPECT_EQ(picker->cropRect(), platform::Rect(0, 300, 1000, 1000));
    EXPECT_FALSE(testsupport::tap(row)) << "the crop screen covers the album";

    ASSERT_TRUE(tapTitled(picker, "取消"));
    EXPECT_EQ(picker->cropView(), nullptr);
    EXPECT_EQ(picker->croppingImage(), nullptr);
    EXPECT_TRUE(owner->infos.empty());
    EXPECT_EQ(owner->cancelled, 0) << "back to choosing, the picker stays";
    EXPECT_FALSE(picker->useCrop());

    ASSERT_TRUE(testsupport::tap(row));
    ASSERT_TRUE(tapTitled(picker, "选取"));
    ASSERT_EQ(owner->infos.size(), 1u);
    auto edited = owner->infos[0].get(UIImagePickerControllerEditedImage).objectAs<UIImage>();
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->CGImage().pixelWidth(), UIImagePickerController::kEditedImageSide);
    EXPECT_EQ(edited->CGImage().pixelHeight(), UIImagePickerController::kEditedImageSide);
    EXPECT_TRUE(allOneColour(edited->CGImage(), kRed));
    EXPECT_EQ(rectIn(owner->infos[0]), platform::Rect(0, 300, 1000, 1000));

}

// Without editing the picture goes at once, alone; a picture a pixel wide
// is its own square and cannot be zoomed.
TEST_F(ImagePickerCrop, WithoutEditingThePictureGoesAtOnceAndATinyOneCannotZoom)
{
    auto plain = present(false);
    auto picture = bands(40, 20);
    ASSERT_TRUE(plain->pickImage(picture));
    ASSERT_EQ(owner->infos.size(), 1u);
    EXPECT_EQ(owner->infos[0].get(UIImagePickerControllerOriginalImage).objectAs<UIImage>(), picture);
    EXPECT_TRUE(owner->infos[0].get(UIImagePickerControllerEditedImage).isNull());
    EXPECT_TRUE(owner->infos[0].get(UIImagePickerControllerCropRect).isNull());
    EXPECT_EQ(plain->cropView(), nullptr);

    auto picker = present();
    ASSERT_TRUE(picker->pickImage(UIImage::imageWithCGImage(platform::Image(1, 3, 1.0, platform::Color::fromRGB255(255, 0, 0)))));
    EXPECT_FALSE(picker->zoomCrop(2));
    EXPECT_EQ(picker->cropRect(), platform::Rect(0, 1, 1, 1));
    ASSERT_TRUE(picker->useCrop());
    ASSERT_EQ(owner->infos.size(), 2u);
    auto edited = owner->infos[1].get(UIImagePickerControllerEditedImage).objectAs<UIImage>();
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->CGImage().pixelWidth(), 1);
    EXPECT_TRUE(allOneColour(edited->CGImage(), kRed));
}
