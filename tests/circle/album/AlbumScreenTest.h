#pragma once

#include "circle/album/AlbumPhotoStrip.h"
#include "tests/circle/CircleTestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace circletest {

inline constexpr const char* kUploadRoute = "upload/weibopic";
inline constexpr const char* kClassListRoute = "webapp/base/tea/class_list";
inline constexpr const char* kAlbumListRoute = "webapp/photoAlbum/list";

// The album screens' tests: photos picked through the picker as a person
// would, and the albums read back from the stand-in server's data file.
class AlbumScreenTest : public CircleScreenTest {
protected:
    // Pushes a screen made by its registered name on the circle's tab.
    template <class Screen> std::shared_ptr<Screen> openByName(const char* name)
    {
        auto screen = std::dynamic_pointer_cast<Screen>(makeScreen(name));
        if (screen)
            open(screen, tabOfCircle());
        return screen;
    }
    // A picture file of the given colour, picked through the strip's add button.
    void attachPhoto(const platform::Color& colour);
    // The overlay's own 1.5 s, and its fading out.
    void letOverlayGo();
    std::vector<server::LoggedRequest> uploads() const;
    std::size_t answeredUploads() const;
    // The album rows of the server's data with that name: their ids.
    std::vector<long long> albumsNamed(const std::string& name) const;
    // The photo addresses the server keeps for the album, oldest first.
    std::vector<std::string> photosOf(long long albumId) const;
    std::shared_ptr<UIView> outlet(const std::string& name) const { return harness().viewByOutlet(name); }

private:
    std::shared_ptr<UIViewController> makeScreen(const char* name) const;
    static int tabOfCircle();
    int pictures_ = 0;
};

} // namespace circletest
