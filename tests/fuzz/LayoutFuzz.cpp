// libFuzzer target: layout files (JSON descriptions of screens, as a theme
// or a test may replace them). Whatever loads is laid out, sized and drawn
// into a small bitmap, with the numbers the file gave (huge, negative,
// fractional); nothing may crash nor cast a number out of its range.
#include "platform/graphics/Context.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/ViewRenderer.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    platform::RunLoop::setMainThread();
    platform::registerUIKitClasses();
    platform::registerLayoutProperties();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto objects = platform::LayoutLoader::loadFromText(text, nullptr, "fuzz");
    for (const auto& object : objects) {
        auto view = std::dynamic_pointer_cast<UIView>(object);
        if (!view)
            continue;
        view->layoutIfNeeded();
        (void)view->sizeThatFits(platform::Size(320, 480));
        auto context = platform::Context::createBitmap(platform::Size(48, 48));
        if (context)
            platform::renderView(*view, *context);
    }
    return 0;
}
