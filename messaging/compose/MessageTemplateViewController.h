#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/MessageTemplateInfo.h"
#include "core/model/MessageTemplateType.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "messaging/compose/ZPDropDownListView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"

#include <memory>
#include <string>
#include <vector>

class ProgressOverlay;
class UIButton;
class UIControl;

// The ready-made texts for the compose screen, most used first, narrowed by
// a category chosen in the drop-down under the title and by a search text.
// On load it asks the server once for categories and then for templates
// newer than the stored ones, merges them into the store and the list, and
// says "短信模板更新成功" when it stored new ones. Choosing a template
// announces it ("addMessageTemplateNotification") and closes the screen.
class MessageTemplateViewController final : public BaseViewController,
                                            public UITableViewDataSource,
                                            public UITableViewDelegate,
                                            public UITextFieldDelegate,
                                            public DropDownListViewDelegate,
                                            public foundation::HTTPRequestDelegate {
public:
    ORB_CLASS_NAME(MessageTemplateViewController)

    using TemplateList = std::vector<std::shared_ptr<core::MessageTemplateInfo>>;

    static constexpr const char* kNotification = "addMessageTemplateNotification";
    static constexpr const char* kUpdatedText = "短信模板更新成功";
    static constexpr double kUpdatedHideDelay = 1.6;
    static constexpr double kRowHeight = 70;
    static constexpr double kExpandedPadding = 44;
    static constexpr double kMeasureFontSize = 17;
    static constexpr double kCellFontSize = 18;
    static constexpr double kUseImageMargin = 15;
    static constexpr double kMeasureMaxHeight = 1000;
    // A longer text is shown whole (expanded) before it can be used.
    static constexpr std::size_t kShortTextLength = 35;
    static constexpr const char* kUseImage = "message_cell_use_n";
    static constexpr const char* kItemBackground = "message_cell_item_bg";
    static constexpr const char* kArrowImage = "message_cell_arrow_icon";

    MessageTemplateViewController();
    explicit MessageTemplateViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    void btnBackTouchUpInside(UIControl* sender);
    void btnChooseMessageType(UIControl* sender);
    void txtSearchEditingChanged(UIControl* sender);

    void loadMessageTemplateType();
    void loadMessageTemplateContent();
    void requestMessageTemplateTypeSussceeded(const foundation::HTTPRequestPtr& request);
    void requestMessageTemplateTypeFailed(const foundation::HTTPRequestPtr& request);
    void requestMessageTemplateContentSussceeded(const foundation::HTTPRequestPtr& request);
    void requestMessageTemplateContentFailed(const foundation::HTTPRequestPtr& request);
    void useMessageTemplateAction();

    void onDropDownItemClick(const NSIndexPath& indexPath) override;
    void keyboardDidShow(const platform::Notification&) { }

    long numberOfRowsInSection(UITableView*, long) override { return long(msgListData_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    void didSelectRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    void textFieldDidBeginEditing(UITextField* field) override;
    bool textFieldShouldReturn(UITextField* field) override;

private:
    void initDropDownList();
    // The templates of the current category holding the search text.
    void applyFilter();
    void showUpdated();

    std::vector<std::shared_ptr<core::MessageTemplateInfo>> msgListData_;
    std::shared_ptr<UITableView> msgTableView_;
    std::shared_ptr<UITextField> searchTextField_;
    std::shared_ptr<UIView> nibLeftItem_;
    std::shared_ptr<UIView> nibRightItem_;
    TemplateList allMsgListData_;
    int currentSelectedIndex_ = -1;
    std::shared_ptr<ZPDropDownListView> dropDownListView_;
    std::shared_ptr<UIButton> titleView_;
    int currentType_ = 0;
    std::shared_ptr<ZPDropDownListView::TypeList> titleTypeData_ = std::make_shared<ZPDropDownListView::TypeList>();
    std::shared_ptr<ProgressOverlay> hud_;
};
