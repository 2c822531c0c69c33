#include "tests/platform/controllers/ControllerTestSupport.h"

#include "platform/graphics/Image.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImagePickerController.h"

#include <filesystem>

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
