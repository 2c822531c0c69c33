#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextField.h"
#include "ui/Lifetime.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIButton;
class ORBPickerView;

// A screen that wants to hear the confirmed row sets itself as cDelegate; one
// that does not sets none, and Done then only closes the picker.
class ORBPickerViewDelegate {
public:
    virtual ~ORBPickerViewDelegate() = default;
    // The person confirmed a row with Done.
    virtual void didSelectedPickerView(ORBPickerView* pickerView, long row) = 0;
};

// A one-line field for choosing a school class (ClassInfo) or a class album
// (AlbumInfo). It shows the chosen entry's name; a tap on it or on its arrow
// brings up a spinning picker in place of the keyboard, under a bar of Cancel
// and Done. Until the screen hands it the list it shows a loading text and
// takes no taps.
//
// Calling order in a screen: make(frame), setCDelegate (and hasBorder,
// isDownStyle, pickerType as needed), add it to the view; when the list
// arrives: setListDatas, setPickerType, optionally setDefaultValue, then
// setEnabled(true).
class ORBPickerView : public UITextField, public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    ORB_CLASS_NAME(ORBPickerView)

    enum PickerType { ClassPicker = 0, AlbumPicker = 1 };
    static constexpr const char* kLoadingClassesText = "正在加载班级信息...";
    static constexpr const char* kLoadingAlbumsText = "正在加载相册信息...";
    static constexpr const char* kDownArrowImage = "public_down_icon";
    static constexpr const char* kRightArrowImage = "public_to_right";
    // After a keyboard (the picker counts as one) starts to show, the picker
    // turns to the confirmed row this much later.
    static constexpr double kSelectDelay = 0.5;

    ORBPickerView() = default;
    explicit ORBPickerView(const platform::Rect& frame)
        : UITextField(frame)
    {
    }
    // The field with its picker, toolbar and arrow (what initWithFrame gives).
    static std::shared_ptr<ORBPickerView> make(const platform::Rect& frame);
    ~ORBPickerView() override;

    // ---- The list ---------------------------------------------------------------------
    const std::vector<std::shared_ptr<platform::Object>>& listDatas() const { return listDatas_; }
    void setListDatas(std::vector<std::shared_ptr<platform::Object>> list);
    int pickerType() const { return pickerType_; }
    void setPickerType(int type);
    // The entry whose name the field shows; the first entry when none is set.
    const std::shared_ptr<platform::Object>& defaultValue() const { return defaultValue_; }
    void setDefaultValue(std::shared_ptr<platform::Object> value);
    bool hasBorder() const { return hasBorder_; }
    void setHasBorder(bool hasBorder);
    bool isDownStyle() const { return isDownStyle_; }
    void setIsDownStyle(bool down);
    std::shared_ptr<ORBPickerViewDelegate> cDelegate() const { return cDelegate_.lock(); }
    void setCDelegate(std::weak_ptr<ORBPickerViewDelegate> delegate) { cDelegate_ = std::move(delegate); }

    long currentRow() const { return currentRow_; }
    long doneRow() const { return doneRow_; }
    const std::shared_ptr<UIPickerView>& currentPickerView() const { return currentPickerView_; }
    const std::shared_ptr<UIButton>& arrowButton() const { return arrowButton_; }

    // ---- Actions -------------------------------------------------------------------------
    // Opens the picker (makes the field first responder).
    void showDownList();
    void cancel();
    void done();
    void defaultSelectRow();
    void defaultValueSetting();
    // The entry's name at the row: className for classes, albumName for
    // albums, nullopt for other kinds or rows.
    std::optional<std::string> pickerViewTitle(long row) const;

    // ---- Picker data source and delegate --------------------------------------------------
    long numberOfComponentsInPickerView(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return static_cast<long>(listDatas_.size()); }
    std::string titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;

    // Room at the right for the arrow.
    platform::Rect textRectForBounds(const platform::Rect& bounds) const override;
    platform::Rect editingRectForBounds(const platform::Rect& bounds) const override;
    void layoutSubviews() override;

private:
    void setUp();
    void keyboadChanged();
    void keyboardWillShow(const platform::Notification&) { keyboadChanged(); }
    // What the field shows for its list: the entry's name, or the loading
    // text with the field disabled while there is no list.
    void applyList();
    void applyLook();
    long indexOf(const std::shared_ptr<platform::Object>& value) const;
    // The name of any entry of the picker's kind, listed or not.
    std::optional<std::string> titleOf(const std::shared_ptr<platform::Object>& entry) const;

    std::shared_ptr<UIPickerView> currentPickerView_;
    long currentRow_ = -1;
    long doneRow_ = 0;
    bool hasBorder_ = true;
    bool isDownStyle_ = true;
    int pickerType_ = ClassPicker;
    std::vector<std::shared_ptr<platform::Object>> listDatas_;
    std::shared_ptr<platform::Object> defaultValue_;
    std::weak_ptr<ORBPickerViewDelegate> cDelegate_;
    std::shared_ptr<UIButton> arrowButton_;
    // The keyboard observation, ended with the view.
    Lifetime lifetime_;
    platform::DelayedCall pendingSelect_;
};
