#include "platform/uikit/UIPasteboard.h"

#include "platform/uikit/UIImage.h"

namespace {
constexpr const char* kTextType = "public.utf8-plain-text";
constexpr const char* kPNGType = "public.png";
constexpr const char* kJPEGType = "public.jpeg";
} // namespace

UIPasteboard& UIPasteboard::generalPasteboard()
{
    static UIPasteboard board;
    return board;
}

std::optional<std::string> UIPasteboard::string() const
{
    auto it = items_.find(kTextType);
    if (it == items_.end())
        return std::nullopt;
    return std::string(it->second.begin(), it->second.end());
}

void UIPasteboard::setString(const std::string& text)
{
    items_.clear();
    items_[kTextType] = platform::Bytes(text.begin(), text.end());
    ++changeCount_;
}

std::shared_ptr<UIImage> UIPasteboard::image() const
{
    for (auto* type : { kPNGType, kJPEGType }) {
        if (auto it = items_.find(type); it != items_.end()) {
            if (auto image = UIImage::imageWithData(it->second))
                return image;
        }
    }
    return nullptr;
}

void UIPasteboard::setImage(const std::shared_ptr<UIImage>& image)
{
    auto png = UIImagePNGRepresentation(image);
    if (!png)
        return;
    items_.clear();
    items_[kPNGType] = std::move(*png);
    ++changeCount_;
}

std::optional<platform::Bytes> UIPasteboard::dataForPasteboardType(const std::string& type) const
{
    auto it = items_.find(type);
    if (it == items_.end())
        return std::nullopt;
    return it->second;
}

void UIPasteboard::setData(const platform::Bytes& data, const std::string& type)
{
    if (type.empty())
        return;
    items_.clear();
    items_[type] = data;
    ++changeCount_;
}

void UIPasteboard::clear()
{
    items_.clear();
    ++changeCount_;
}
