#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/PickerWheels.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>
#include <vector>

class UIPickerView;

class UIPickerViewDataSource {
public:
    virtual ~UIPickerViewDataSource() = default;
    virtual long numberOfComponentsInPickerView(UIPickerView* pickerView) = 0;
    virtual long numberOfRowsInComponent(UIPickerView* pickerView, long component) = 0;
};

// Optional: the defaults are what the picker does without a delegate.
class UIPickerViewDelegate {
public:
    virtual ~UIPickerViewDelegate() = default;
    virtual std::string titleForRow(UIPickerView*, long /*row*/, long /*component*/) { return {}; }
    virtual void didSelectRow(UIPickerView*, long /*row*/, long /*component*/) { }
    virtual double rowHeightForComponent(UIPickerView*, long /*component*/) { return 44; }
};

// Spinning wheels of rows, turned by a finger or the mouse wheel. Programmatic
// selection (selectRow) does not tell the delegate; a user's spin does, once
// the finger lifts (or at each notch of the mouse wheel, or through spinToRow).
// Rows and components are counted from the data source each time, and
// selections are kept within the rows there are (-1 for an empty component).
class UIPickerView : public UIView, public PickerWheels {
public:
    UIPickerView();
    explicit UIPickerView(const platform::Rect& frame);
    ORB_CLASS_NAME(UIPickerView)

    std::shared_ptr<UIPickerViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<UIPickerViewDataSource> dataSource);
    std::shared_ptr<UIPickerViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIPickerViewDelegate> delegate);
    bool showsSelectionIndicator() const { return showsSelectionIndicator_; }
    void setShowsSelectionIndicator(bool shows) { showsSelectionIndicator_ = shows; }

    long numberOfComponents() const;
    long numberOfRowsInComponent(long component) const;
    // Out-of-range rows or components are ignored.
    void selectRow(long row, long component, bool animated = false);
    // -1 when the component has no rows or does not exist.
    long selectedRowInComponent(long component) const;
    std::string titleForRow(long row, long component) const;
    void reloadAllComponents();
    void reloadComponent(long component);

    // The user turns a wheel to a row: selects it and tells the delegate.
    bool spinToRow(long row, long component);

    bool turnWheelAt(platform::Point point, long rows) override;

    void drawRect(platform::Context& context, const platform::Rect& rect) override;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

private:
    void clampSelections();
    // Moves a wheel by rows within its rows, without telling the delegate.
    bool turn(long component, long rows);

    PickerWheelDrag drag_;
    long dragComponent_ = -1;
    long dragStartRow_ = -1;

    std::weak_ptr<UIPickerViewDataSource> dataSource_;
    std::weak_ptr<UIPickerViewDelegate> delegate_;
    std::vector<long> selected_;
    bool showsSelectionIndicator_ = false;
};
