#include "platform/uikit/UIPickerView.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>
#include <utility>

UIPickerView::UIPickerView()
    : UIView(platform::Rect(0, 0, 320, 216))
{
}

UIPickerView::UIPickerView(const platform::Rect& frame)
    : UIView(frame)
{
}

void UIPickerView::setDataSource(std::weak_ptr<UIPickerViewDataSource> dataSource)
{
    dataSource_ = std::move(dataSource);
    clampSelections();
    setNeedsDisplay();
}

void UIPickerView::setDelegate(std::weak_ptr<UIPickerViewDelegate> delegate)
{
    delegate_ = std::move(delegate);
    setNeedsDisplay();
}

long UIPickerView::numberOfComponents() const
{
    auto source = dataSource();
    if (!source)
        return 0;
    return std::max(source->numberOfComponentsInPickerView(const_cast<UIPickerView*>(this)), 0L);
}

long UIPickerView::numberOfRowsInComponent(long component) const
{
    auto source = dataSource();
    if (!source || component < 0 || component >= numberOfComponents())
        return 0;
    return std::max(source->numberOfRowsInComponent(const_cast<UIPickerView*>(this), component), 0L);
}

void UIPickerView::clampSelections()
{
    long components = numberOfComponents();
    selected_.resize(std::size_t(components), 0);
    for (long c = 0; c < components; ++c) {
        long rows = numberOfRowsInComponent(c);
        auto& row = selected_[std::size_t(c)];
        row = rows == 0 ? 0 : std::clamp(row, 0L, rows - 1);
    }
}

void UIPickerView::selectRow(long row, long component, bool)
{
    clampSelections();
    if (component < 0 || component >= long(selected_.size()))
        return;
    if (row < 0 || row >= numberOfRowsInComponent(component))
        return;
    selected_[std::size_t(component)] = row;
    setNeedsDisplay();
}

long UIPickerView::selectedRowInComponent(long component) const
{
    if (component < 0 || component >= numberOfComponents())
        return -1;
    long rows = numberOfRowsInComponent(component);
    if (rows == 0)
        return -1;
    long row = component < long(selected_.size()) ? selected_[std::size_t(component)] : 0;
    return std::clamp(row, 0L, rows - 1);
}

std::string UIPickerView::titleForRow(long row, long component) const
{
    auto d = delegate();
    if (!d || row < 0 || row >= numberOfRowsInComponent(component))
        return {};
    return d->titleForRow(const_cast<UIPickerView*>(this), row, component);
}

void UIPickerView::reloadAllComponents()
{
    clampSelections();
    setNeedsDisplay();
}

void UIPickerView::reloadComponent(long) { reloadAllComponents(); }

bool UIPickerView::spinToRow(long row, long component)
{
    clampSelections();
    if (component < 0 || component >= long(selected_.size()) || row < 0 || row >= numberOfRowsInComponent(component))
        return false;
    auto self = sharedView();
    selected_[std::size_t(component)] = row;
    setNeedsDisplay();
    if (auto d = delegate())
        d->didSelectRow(this, row, component);
    return true;
}

bool UIPickerView::turn(long component, long rows)
{
    clampSelections();
    long count = numberOfRowsInComponent(component);
    if (component < 0 || component >= long(selected_.size()) || count == 0)
        return false;
    auto& selected = selected_[std::size_t(component)];
    long row = std::clamp(selected + std::clamp(rows, -count, count), 0L, count - 1);
    if (row == selected)
        return false;
    selected = row;
    setNeedsDisplay();
    return true;
}

bool UIPickerView::turnWheelAt(platform::Point point, long rows)
{
    long component = columnAt(bounds(), point.x, numberOfComponents());
    return turn(component, rows) && spinToRow(selectedRowInComponent(component), component);
}

void UIPickerView::touchesBegan(const UITouchSet& touches, UIEvent*)
{
    if (touches.empty())
        return;
    auto point = touches.front()->locationInView(this);
    drag_.begin(point);
    dragComponent_ = columnAt(bounds(), point.x, numberOfComponents());
    dragStartRow_ = selectedRowInComponent(dragComponent_);
}

void UIPickerView::touchesMoved(const UITouchSet& touches, UIEvent*)
{
    if (touches.empty() || dragComponent_ < 0)
        return;
    turn(dragComponent_, drag_.moveTo(touches.front()->locationInView(this)));
}

void UIPickerView::touchesEnded(const UITouchSet& touches, UIEvent*)
{
    long component = std::exchange(dragComponent_, -1);
    if (touches.empty() || component < 0)
        return;
    auto point = touches.front()->locationInView(this);
    turn(component, drag_.moveTo(point));
    if (drag_.isTap())
        turn(component, rowsFromBand(bounds(), drag_.start().y));
    long row = selectedRowInComponent(component);
    // The wheel settles: the delegate hears of the row it stopped on.
    if (row >= 0 && row != dragStartRow_)
        spinToRow(row, component);
}

void UIPickerView::touchesCancelled(const UITouchSet&, UIEvent*)
{
    // A cancelled drag leaves the wheel where it was.
    long component = std::exchange(dragComponent_, -1);
    if (component >= 0 && dragStartRow_ >= 0)
        selectRow(dragStartRow_, component);
}

void UIPickerView::drawRect(platform::Context& context, const platform::Rect&)
{
    // Each wheel shows its selected row in the middle band and two rows above and below.
    auto b = bounds();
    long components = numberOfComponents();
    if (components <= 0)
        return;
    double columnWidth = b.width() / double(components);
    double rowHeight = kRowHeight;
    double middle = bandTop(b);
    context.setFillColor(platform::Color::fromWhite(0.9));
    context.fillRect(platform::Rect(b.minX(), middle, b.width(), rowHeight));
    auto font = platform::Font::systemFont(20);
    for (long c = 0; c < components && c < 16; ++c) {
        long selected = selectedRowInComponent(c);
        long rows = numberOfRowsInComponent(c);
        for (long offset = -2; offset <= 2; ++offset) {
            long row = selected + offset;
            if (selected < 0 || row < 0 || row >= rows)
                continue;
            platform::Rect cell(b.minX() + double(c) * columnWidth, middle + double(offset) * rowHeight + 6,
                columnWidth, rowHeight - 6);
            auto color = offset == 0 ? platform::Color::blackColor() : platform::Color::fromWhite(0.6);
            platform::drawText(context, titleForRow(row, c), font, cell, color, platform::LineBreakMode::TruncateTail,
                platform::TextAlignment::Center, 1);
        }
    }
}
