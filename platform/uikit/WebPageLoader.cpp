#include "platform/uikit/WebPageLoader.h"

namespace platform {

namespace {
    std::shared_ptr<WebPageLoader>& sharedLoader()
    {
        static std::shared_ptr<WebPageLoader> loader;
        return loader;
    }
} // namespace

std::shared_ptr<WebPageLoader> WebPageLoader::shared() { return sharedLoader(); }
void WebPageLoader::setShared(std::shared_ptr<WebPageLoader> loader) { sharedLoader() = std::move(loader); }

} // namespace platform
