#pragma once

#include "platform/os/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

class UIImage;

// The general pasteboard: one item with representations by type
// ("public.utf8-plain-text", "public.png", ...). Setting a string or an image
// replaces the item.
class UIPasteboard final {
public:
    static UIPasteboard& generalPasteboard();

    std::optional<std::string> string() const;
    void setString(const std::string& text);
    std::shared_ptr<UIImage> image() const;
    void setImage(const std::shared_ptr<UIImage>& image);
    std::optional<platform::Bytes> dataForPasteboardType(const std::string& type) const;
    void setData(const platform::Bytes& data, const std::string& type);
    bool containsPasteboardType(const std::string& type) const { return items_.count(type) > 0; }
    long changeCount() const { return changeCount_; }

    void clear();

private:
    UIPasteboard() = default;
    std::map<std::string, platform::Bytes> items_;
    long changeCount_ = 0;
};
