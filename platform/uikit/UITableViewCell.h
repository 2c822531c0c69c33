#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

class UIImageView;
class UILabel;

enum UITableViewCellStyle {
    UITableViewCellStyleDefault = 0,
    UITableViewCellStyleValue1 = 1,
    UITableViewCellStyleValue2 = 2,
    UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellAccessoryType {
    UITableViewCellAccessoryNone = 0,
    UITableViewCellAccessoryDisclosureIndicator = 1,
    UITableViewCellAccessoryDetailDisclosureButton = 2,
    UITableViewCellAccessoryCheckmark = 3,
};

enum UITableViewCellSelectionStyle {
    UITableViewCellSelectionStyleNone = 0,
    UITableViewCellSelectionStyleBlue = 1,
    UITableViewCellSelectionStyleGray = 2,
    UITableViewCellSelectionStyleDefault = 3,
};

enum UITableViewCellEditingStyle {
    UITableViewCellEditingStyleNone = 0,
    UITableViewCellEditingStyleDelete = 1,
    UITableViewCellEditingStyleInsert = 2,
};

// A row's view: a content view holding the style's labels and image, an
// accessory at the right, and the selection look. Cells made from layout
// files take their reuse identifier from the file ("reuseIdentifier").
class UITableViewCell : public UIView, public platform::LayoutBindable {
public:
    UITableViewCell();
    UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier);
    ORB_CLASS_NAME(UITableViewCell)

    UITableViewCellStyle style() const { return style_; }
    // Layout files set the style before anything shows.
    void setStyle(UITableViewCellStyle style) { style_ = style; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }

    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    // Created on first use, inside the content view.
    std::shared_ptr<UILabel> textLabel();
    // nullptr in the default style, which has no detail.
    std::shared_ptr<UILabel> detailTextLabel();
    std::shared_ptr<UIImageView> imageView();

    UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(UITableViewCellAccessoryType type);
    const std::shared_ptr<UIView>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<UIView> view);
    UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated = false);
    const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<UIView> view);
    const std::shared_ptr<UIView>& selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(std::shared_ptr<UIView> view);
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated = false)
    {
        editing_ = editing;
        (void)animated;
    }

    // Called by the table before the cell is handed out again.
    virtual void prepareForReuse() { }

    void layoutSubviews() override;

private:
    void updateSelectionLook();

    UITableViewCellStyle style_ = UITableViewCellStyleDefault;
    std::string reuseIdentifier_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> textLabel_;
    std::shared_ptr<UILabel> detailTextLabel_;
    std::shared_ptr<UIImageView> imageView_;
    UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
    std::shared_ptr<UIView> accessoryView_;
    std::shared_ptr<UILabel> accessoryMark_;
    UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleBlue;
    bool selected_ = false;
    bool highlighted_ = false;
    bool editing_ = false;
    std::shared_ptr<UIView> backgroundView_;
    std::shared_ptr<UIView> selectedBackgroundView_;
    std::shared_ptr<UIView> defaultSelectionView_;
};
