#include "platform/uikit/LayoutLoader.h"

#include "platform/os/AppPaths.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <unordered_map>

namespace platform {

bool LayoutBindings::bindOutlet(std::string_view name, const std::shared_ptr<Object>& object) const
{
    // The latest declaration wins, so a subclass can take over an outlet of its base.
    for (auto it = outlets_.rbegin(); it != outlets_.rend(); ++it) {
        if (it->name == name) {
            bool bound = it->setter(object);
            it->bound = it->bound || bound;
            return bound;
        }
    }
    return false;
}

namespace {

    // Per name, the latest declaration decides (a subclass takes over its base's).
    template <class Entry, class Key, class Done>
    std::vector<std::string> missing(const std::vector<Entry>& entries, Key key, Done done)
    {
        std::vector<std::string> names;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            const std::string& name = key(*it);
            if (std::find(names.begin(), names.end(), name) != names.end())
                continue;
            bool seen = std::any_of(entries.rbegin(), it, [&](const Entry& later) { return key(later) == name; });
            if (!seen && !it->optional && !done(*it))
                names.push_back(name);
        }
        std::reverse(names.begin(), names.end());
        return names;
    }

} // namespace

std::vector<std::string> LayoutBindings::missingOutlets() const
{
    return missing(outlets_, [](const Outlet& o) -> const std::string& { return o.name; },
        [&](const Outlet& o) {
            return std::any_of(outlets_.begin(), outlets_.end(), [&](const Outlet& x) { return x.name == o.name && x.bound; });
        });
}

std::vector<std::string> LayoutBindings::missingActions() const
{
    return missing(actions_, [](const Action& a) -> const std::string& { return a.selector; },
        [&](const Action& a) {
            return std::any_of(
                actions_.begin(), actions_.end(), [&](const Action& x) { return x.selector == a.selector && x.wired; });
        });
}

std::function<void(UIControl*)> LayoutBindings::makeAction(std::string_view selector) const
{
    for (auto it = actions_.rbegin(); it != actions_.rend(); ++it) {
        if (it->selector == selector) {
            it->wired = true;
            return it->make();
        }
    }
    return {};
}

namespace {

struct PropertyEntry {
    std::string typeName;
    LayoutLoader::PropertySetter setter;
    std::function<bool(Object&)> fits;
};

struct LoaderState {
    std::mutex mutex;
    std::unordered_map<std::string, std::vector<PropertyEntry>> properties;
    std::vector<std::string> overrideDirectories;
    std::vector<std::string> reports;
};

LoaderState& state()
{
    static LoaderState instance;
    return instance;
}

// Keys every object may carry that are not properties.
bool isStructuralKey(std::string_view key)
{
    return key == "class" || key == "outlet" || key == "actions" || key == "subviews" || key == "id"
        || key == "comment";
}

void report(const std::string& layout, const std::string& what)
{
    log("Layout %s: %s\n", layout.c_str(), what.c_str());
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.reports.push_back(layout + ": " + what);
}

struct PendingObject {
    std::shared_ptr<Object> object;
};

class Builder {
public:
    Builder(const std::shared_ptr<Object>& owner, std::string_view name)
        : owner_(owner)
        , name_(name)
        , ownerGiven_(owner != nullptr)
    {
        if (auto* bindable = dynamic_cast<LayoutBindable*>(owner.get())) {
            bindings_.emplace(std::weak_ptr<Object>(owner));
            bindable->declareLayoutBindings(*bindings_);
        }
    }

    std::shared_ptr<Object> build(const Value& description, const std::shared_ptr<UIView>& parent)
    {
        const Dictionary* dictionary = description.asDictionary();
        if (!dictionary) {
            log("Layout %s: an entry that is not an object was skipped\n", name_.c_str());
            return nullptr;
        }
        const Value& classValue = dictionary->get("class");
        const std::string* className = classValue.asString();
        if (!className) {
            log("Layout %s: an object without a class was skipped\n", name_.c_str());
            return nullptr;
        }
        auto object = ClassRegistry::shared().create(*className);
        if (!object) {
            log("Layout %s: unknown class \"%s\"; the object was skipped\n", name_.c_str(), className->c_str());
            return nullptr;
        }
        // Classes register under the name they declare; one that answers
        // another name was registered by hand under a name it does not carry.
        if (object->className() != *className)
            log("Layout %s: class \"%s\" made an object that calls itself \"%s\"\n", name_.c_str(),
                className->c_str(), object->className().c_str());
        created_.push_back(object);
        // Loaded without an owner, a file whose first object binds (a cell,
        // a view with a layout of its own) connects its outlets to that object.
        if (!ownerGiven_ && !parent && !bindings_) {
            if (auto* bindable = dynamic_cast<LayoutBindable*>(object.get())) {
                owner_ = object;
                bindings_.emplace(std::weak_ptr<Object>(object));
                bindable->declareLayoutBindings(*bindings_);
            }
        }

        // The frame first: other properties (fonts sizing labels, images) may depend on it.
        if (const Value* frame = dictionary->find("frame"))
            applyProperty(*object, *className, "frame", *frame);
        for (const auto& [key, value] : *dictionary) {
            if (isStructuralKey(key) || key == "frame")
                continue;
            applyProperty(*object, *className, key, value);
        }

        auto view = std::dynamic_pointer_cast<UIView>(object);
        if (view && parent)
            parent->addSubview(view);

        if (const std::string* outlet = dictionary->get("outlet").asString()) {
            if (view)
                view->setOutletName(*outlet);
            if (!bindings_ || !bindings_->bindOutlet(*outlet, object))
                report(name_, "outlet \"" + *outlet + "\" is not connected");
        }

        if (const Dictionary* actions = dictionary->get("actions").asDictionary())
            bindActions(object, *className, *actions);

        if (const Array* subviews = dictionary->get("subviews").asArray()) {
            if (!view)
                log("Layout %s: %s is not a view; its subviews were skipped\n", name_.c_str(), className->c_str());
            else {
                for (const auto& child : *subviews)
                    build(child, view);
            }
        }
        return object;
    }

    // The owner's required outlets and actions the file did not connect.
    void reportMissing()
    {
        if (!bindings_)
            return;
        for (const auto& outlet : bindings_->missingOutlets())
            report(name_, "required outlet \"" + outlet + "\" is not in the file");
        for (const auto& action : bindings_->missingActions())
            report(name_, "action \"" + action + "\" is not wired in the file");
    }

    void awakeAll()
    {
        // Views hear it through their own awakeFromNib; a class that is both
        // a view and bindable overrides one function for both, so it hears it once.
        for (const auto& object : created_) {
            if (auto* bindable = dynamic_cast<LayoutBindable*>(object.get()))
                bindable->awakeFromNib();
            else if (auto* view = dynamic_cast<UIView*>(object.get()))
                view->awakeFromNib();
        }
    }

private:
    void applyProperty(Object& object, const std::string& className, const std::string& key, const Value& value)
    {
        std::vector<PropertyEntry> candidates;
        {
            auto& s = state();
            std::lock_guard lock(s.mutex);
            auto found = s.properties.find(key);
            if (found != s.properties.end())
                candidates = found->second;
        }
        for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
            if (!it->fits(object))
                continue;
            if (!it->setter(object, value))
                log("Layout %s: bad value for %s.%s\n", name_.c_str(), className.c_str(), key.c_str());
            return;
        }
        log("Layout %s: %s has no property \"%s\"\n", name_.c_str(), className.c_str(), key.c_str());
    }

    void bindActions(const std::shared_ptr<Object>& object, const std::string& className, const Dictionary& actions)
    {
        auto control = std::dynamic_pointer_cast<UIControl>(object);
        for (const auto& [eventName, selectorValue] : actions) {
            const std::string* selector = selectorValue.asString();
            auto event = LayoutLoader::controlEventFromName(eventName);
            if (!control || !selector || !event) {
                log("Layout %s: action %s on %s was skipped\n", name_.c_str(), eventName.c_str(), className.c_str());
                continue;
            }
            std::function<void(UIControl*)> action;
            if (bindings_)
                action = bindings_->makeAction(*selector);
            if (!action) {
                report(name_, "the owner has no action \"" + *selector + "\"");
                continue;
            }
            auto owner = owner_.lock();
            control->addTargetAction(owner, owner.get(), std::move(action), *event, *selector);
        }
    }

    std::weak_ptr<Object> owner_;
    std::string name_;
    std::optional<LayoutBindings> bindings_;
    bool ownerGiven_ = false;
    std::vector<std::shared_ptr<Object>> created_;
};

std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

bool validLayoutName(std::string_view name)
{
    // Names are class names: keep them from reaching outside the layout folders.
    return !name.empty() && name.find('/') == std::string_view::npos && name.find("..") == std::string_view::npos;
}

} // namespace

void LayoutLoader::addProperty(
    std::string name, std::string typeName, PropertySetter setter, std::function<bool(Object&)> fits)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto& list = s.properties[std::move(name)];
    // Registering the same class again replaces its setter (registration is idempotent).
    std::erase_if(list, [&](const PropertyEntry& entry) { return entry.typeName == typeName; });
    list.push_back({ std::move(typeName), std::move(setter), std::move(fits) });
}

void LayoutLoader::addOverrideDirectory(std::string directory)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.overrideDirectories.insert(s.overrideDirectories.begin(), std::move(directory));
}

void LayoutLoader::clearOverrideDirectories()
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.overrideDirectories.clear();
}

std::string LayoutLoader::pathFor(std::string_view name)
{
    if (!validLayoutName(name))
        return {};
    std::vector<std::string> directories;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        directories = s.overrideDirectories;
    }
    directories.push_back(AppPaths::resourcesDirectory() + "/layouts");
    std::error_code error;
    for (const auto& directory : directories) {
        std::string path = directory + "/" + std::string(name) + ".json";
        if (std::filesystem::is_regular_file(path, error))
            return path;
    }
    return {};
}

bool LayoutLoader::exists(std::string_view name) { return !pathFor(name).empty(); }

std::optional<Value> LayoutLoader::readNamed(std::string_view name)
{
    std::string path = pathFor(name);
    if (path.empty()) {
        log("Layout %.*s not found\n", static_cast<int>(name.size()), name.data());
        return std::nullopt;
    }
    auto text = readFile(path);
    if (!text) {
        log("Layout %.*s could not be read\n", static_cast<int>(name.size()), name.data());
        return std::nullopt;
    }
    Error error;
    auto parsed = PlatformJson::read(*text, &error);
    if (!parsed)
        log("Layout %.*s is not valid JSON\n", static_cast<int>(name.size()), name.data());
    return parsed;
}

std::vector<std::shared_ptr<Object>> LayoutLoader::loadNamed(std::string_view name, const std::shared_ptr<Object>& owner)
{
    auto layout = readNamed(name);
    return layout ? loadFromValue(*layout, owner, name) : std::vector<std::shared_ptr<Object>> {};
}

std::vector<std::shared_ptr<Object>> LayoutLoader::loadFromText(
    std::string_view json, const std::shared_ptr<Object>& owner, std::string_view nameForLog)
{
    Error error;
    auto parsed = PlatformJson::read(json, &error);
    if (!parsed) {
        log("Layout %s is not valid JSON\n", std::string(nameForLog).c_str());
        return {};
    }
    return loadFromValue(*parsed, owner, nameForLog);
}

std::vector<std::shared_ptr<Object>> LayoutLoader::loadFromValue(
    const Value& layout, const std::shared_ptr<Object>& owner, std::string_view nameForLog)
{
    std::string name(nameForLog);
    const Array* entries = layout.asArray();
    if (!entries) {
        if (const Dictionary* dictionary = layout.asDictionary())
            entries = dictionary->get("objects").asArray();
    }
    if (!entries) {
        log("Layout %s holds no list of objects\n", name.c_str());
        return {};
    }
    Builder builder(owner, name);
    std::vector<std::shared_ptr<Object>> topLevel;
    for (const auto& entry : *entries) {
        if (auto object = builder.build(entry, nullptr))
            topLevel.push_back(std::move(object));
    }
    builder.reportMissing();
    builder.awakeAll();
    return topLevel;
}

std::vector<std::string> LayoutLoader::takeReports()
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto taken = std::move(s.reports);
    s.reports.clear();
    return taken;
}

std::shared_ptr<Object> LayoutLoader::firstTopLevelObject(std::string_view name, const std::shared_ptr<Object>& owner)
{
    auto objects = loadNamed(name, owner);
    return objects.empty() ? nullptr : objects.front();
}

std::shared_ptr<Object> LayoutLoader::lastTopLevelObject(std::string_view name, const std::shared_ptr<Object>& owner)
{
    auto objects = loadNamed(name, owner);
    return objects.empty() ? nullptr : objects.back();
}

std::optional<Color> LayoutLoader::colorFromValue(const Value& value)
{
    if (const Array* components = value.asArray()) {
        if (components->size() != 3 && components->size() != 4)
            return std::nullopt;
        for (const auto& c : *components) {
            if (!c.isNumber())
                return std::nullopt;
        }
        double alpha = components->size() == 4 ? (*components)[3].doubleValue() : 1.0;
        return Color((*components)[0].doubleValue(), (*components)[1].doubleValue(), (*components)[2].doubleValue(),
            alpha);
    }
    const std::string* text = value.asString();
    if (!text)
        return std::nullopt;
    static const std::pair<const char*, Color> named[] = {
        { "black", Color::blackColor() }, { "darkGray", Color::darkGrayColor() }, { "gray", Color::grayColor() },
        { "lightGray", Color::lightGrayColor() }, { "white", Color::whiteColor() }, { "clear", Color::clearColor() },
        { "red", Color::redColor() }, { "green", Color::greenColor() }, { "blue", Color::blueColor() },
        { "orange", Color::orangeColor() }, { "yellow", Color::yellowColor() },
    };
    for (const auto& [n, color] : named) {
        if (*text == n)
            return color;
    }
    if (text->size() != 7 && text->size() != 9)
        return std::nullopt;
    if ((*text)[0] != '#')
        return std::nullopt;
    int bytes[4] = { 0, 0, 0, 255 };
    for (std::size_t i = 0; i + 1 < text->size(); i += 2) {
        int high = platform::hexDigitValue((*text)[i + 1]);
        int low = platform::hexDigitValue((*text)[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i / 2] = high * 16 + low;
    }
    return Color(bytes[0] / 255.0, bytes[1] / 255.0, bytes[2] / 255.0, bytes[3] / 255.0);
}

std::optional<unsigned> LayoutLoader::controlStateFromName(std::string_view name)
{
    if (name == "normal")
        return UIControlStateNormal;
    if (name == "highlighted")
        return UIControlStateHighlighted;
    if (name == "disabled")
        return UIControlStateDisabled;
    if (name == "selected")
        return UIControlStateSelected;
    return std::nullopt;
}

std::optional<unsigned> LayoutLoader::controlEventFromName(std::string_view name)
{
    static const std::pair<const char*, unsigned> events[] = {
        { "touchDown", UIControlEventTouchDown },
        { "touchDownRepeat", UIControlEventTouchDownRepeat },
        { "touchUpInside", UIControlEventTouchUpInside },
        { "touchUpOutside", UIControlEventTouchUpOutside },
        { "touchCancel", UIControlEventTouchCancel },
        { "valueChanged", UIControlEventValueChanged },
        { "editingDidBegin", UIControlEventEditingDidBegin },
        { "editingChanged", UIControlEventEditingChanged },
        { "editingDidEnd", UIControlEventEditingDidEnd },
        { "editingDidEndOnExit", UIControlEventEditingDidEndOnExit },
    };
    for (const auto& [n, event] : events) {
        if (name == n)
            return event;
    }
    return std::nullopt;
}

namespace {

std::optional<Rect> rectFromValue(const Value& value)
{
    const Array* a = value.asArray();
    if (!a || a->size() != 4)
        return std::nullopt;
    for (const auto& v : *a) {
        if (!v.isNumber())
            return std::nullopt;
    }
    return Rect((*a)[0].doubleValue(), (*a)[1].doubleValue(), (*a)[2].doubleValue(), (*a)[3].doubleValue());
}

std::optional<Font> fontFromValue(const Value& value)
{
    if (value.isNumber())
        return Font::systemFont(value.doubleValue());
    const Dictionary* d = value.asDictionary();
    if (!d || !d->get("size").isNumber())
        return std::nullopt;
    double size = d->get("size").doubleValue();
    if (const std::string* name = d->get("name").asString())
        return Font::named(*name, size);
    return d->get("bold").boolValue() ? Font::boldSystemFont(size) : Font::systemFont(size);
}

std::optional<NSTextAlignment> alignmentFromValue(const Value& value)
{
    const std::string* text = value.asString();
    if (!text)
        return std::nullopt;
    if (*text == "left")
        return NSTextAlignmentLeft;
    if (*text == "center")
        return NSTextAlignmentCenter;
    if (*text == "right")
        return NSTextAlignmentRight;
    return std::nullopt;
}

std::optional<UIViewContentMode> contentModeFromValue(const Value& value)
{
    static const std::pair<const char*, UIViewContentMode> modes[] = {
        { "scaleToFill", UIViewContentModeScaleToFill }, { "scaleAspectFit", UIViewContentModeScaleAspectFit },
        { "scaleAspectFill", UIViewContentModeScaleAspectFill }, { "center", UIViewContentModeCenter },
        { "top", UIViewContentModeTop }, { "bottom", UIViewContentModeBottom }, { "left", UIViewContentModeLeft },
        { "right", UIViewContentModeRight }, { "topLeft", UIViewContentModeTopLeft },
    };
    const std::string* text = value.asString();
    if (!text)
        return std::nullopt;
    for (const auto& [n, mode] : modes) {
        if (*text == n)
            return mode;
    }
    return std::nullopt;
}

// A value given for every state, or a dictionary state name → value.
template <class Apply> bool forEachState(const Value& value, Apply apply)
{
    if (const Dictionary* d = value.asDictionary()) {
        for (const auto& [stateName, v] : *d) {
            auto controlState = LayoutLoader::controlStateFromName(stateName);
            if (!controlState || !apply(*controlState, v))
                return false;
        }
        return true;
    }
    return apply(UIControlStateNormal, value);
}

template <class T> void flag(const char* name, void (T::*setter)(bool))
{
    LayoutLoader::registerProperty<T>(name, [setter](T& object, const Value& v) {
        if (!v.isBool() && !v.isNumber())
            return false;
        (object.*setter)(v.boolValue());
        return true;
    });
}

template <class T> void number(const char* name, std::function<void(T&, double)> setter)
{
    LayoutLoader::registerProperty<T>(name, [setter = std::move(setter)](T& object, const Value& v) {
        if (!v.isNumber())
            return false;
        setter(object, v.doubleValue());
        return true;
    });
}

// An integer property: a number that is whole and within [lowest, highest]
// (the range of the setter's type, or narrower); anything else is a bad value
// rather than a cast out of range, which is undefined behaviour.
template <class T, class I> void integer(const char* name, I lowest, I highest, std::function<void(T&, I)> setter)
{
    LayoutLoader::registerProperty<T>(name, [lowest, highest, setter = std::move(setter)](T& object, const Value& v) {
        if (!v.isNumber())
            return false;
        double d = v.doubleValue();
        if (!(d >= static_cast<double>(lowest) && d <= static_cast<double>(highest)) || d != std::trunc(d))
            return false;
        setter(object, static_cast<I>(d));
        return true;
    });
}

template <class T> void text(const char* name, std::function<void(T&, const std::string&)> setter)
{
    LayoutLoader::registerProperty<T>(name, [setter = std::move(setter)](T& object, const Value& v) {
        const std::string* s = v.asString();
        if (!s)
            return false;
        setter(object, *s);
        return true;
    });
}

template <class T> void color(const char* name, std::function<void(T&, const Color&)> setter)
{
    LayoutLoader::registerProperty<T>(name, [setter = std::move(setter)](T& object, const Value& v) {
        auto c = LayoutLoader::colorFromValue(v);
        if (!c)
            return false;
        setter(object, *c);
        return true;
    });
}

template <class T> void font(const char* name, std::function<void(T&, const Font&)> setter)
{
    LayoutLoader::registerProperty<T>(name, [setter = std::move(setter)](T& object, const Value& v) {
        auto f = fontFromValue(v);
        if (!f)
            return false;
        setter(object, *f);
        return true;
    });
}

template <class T> void alignment(const char* name)
{
    LayoutLoader::registerProperty<T>(name, [](T& object, const Value& v) {
        auto a = alignmentFromValue(v);
        if (!a)
            return false;
        object.setTextAlignment(*a);
        return true;
    });
}

// A missing image is nil, as on the phone; the property still counts as set.
std::shared_ptr<UIImage> imageFromValue(const Value& v) { return UIImage::imageNamed(v.stringValue()); }

} // namespace

void registerLayoutProperties()
{
    LayoutLoader::registerProperty<UIView>("frame", [](UIView& view, const Value& v) {
        auto rect = rectFromValue(v);
        if (!rect)
            return false;
        view.setFrame(*rect);
        return true;
    });
    LayoutLoader::registerProperty<UIView>("tag", [](UIView& view, const Value& v) {
        if (!v.isInteger())
            return false;
        view.setTag(v.intValue());
        return true;
    });
    color<UIView>("backgroundColor", [](UIView& view, const Color& c) { view.setBackgroundColor(c); });
    color<UIView>("tintColor", [](UIView& view, const Color& c) { view.setTintColor(c); });
    number<UIView>("alpha", [](UIView& view, double a) { view.setAlpha(a); });
    flag<UIView>("hidden", &UIView::setHidden);
    flag<UIView>("opaque", &UIView::setOpaque);
    flag<UIView>("clipsToBounds", &UIView::setClipsToBounds);
    flag<UIView>("userInteractionEnabled", &UIView::setUserInteractionEnabled);
    integer<UIView, unsigned>("autoresizingMask", 0, UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleWidth
            | UIViewAutoresizingFlexibleRightMargin | UIViewAutoresizingFlexibleTopMargin
            | UIViewAutoresizingFlexibleHeight | UIViewAutoresizingFlexibleBottomMargin,
        [](UIView& view, unsigned m) { view.setAutoresizingMask(m); });
    LayoutLoader::registerProperty<UIView>("contentMode", [](UIView& view, const Value& v) {
        auto mode = contentModeFromValue(v);
        if (!mode)
            return false;
        view.setContentMode(*mode);
        return true;
    });
    number<UIView>("cornerRadius", [](UIView& view, double r) { view.layer()->setCornerRadius(r); });
    number<UIView>("borderWidth", [](UIView& view, double w) { view.layer()->setBorderWidth(w); });
    color<UIView>("borderColor", [](UIView& view, const Color& c) { view.layer()->setBorderColor(c); });

    text<UILabel>("text", [](UILabel& label, const std::string& s) { label.setText(s); });
    font<UILabel>("font", [](UILabel& label, const Font& f) { label.setFont(f); });
    color<UILabel>("textColor", [](UILabel& label, const Color& c) { label.setTextColor(c); });
    alignment<UILabel>("textAlignment");
    integer<UILabel, int>("numberOfLines", std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
        [](UILabel& label, int n) { label.setNumberOfLines(n); });

    flag<UIControl>("enabled", &UIControl::setEnabled);
    flag<UIControl>("selected", &UIControl::setSelected);

    LayoutLoader::registerProperty<UIButton>("title", [](UIButton& button, const Value& v) {
        return forEachState(v, [&](unsigned s, const Value& t) {
            if (!t.isString())
                return false;
            button.setTitle(t.stringValue(), s);
            return true;
        });
    });
    LayoutLoader::registerProperty<UIButton>("titleColor", [](UIButton& button, const Value& v) {
        return forEachState(v, [&](unsigned s, const Value& c) {
            auto parsed = LayoutLoader::colorFromValue(c);
            if (!parsed)
                return false;
            button.setTitleColor(*parsed, s);
            return true;
        });
    });
    LayoutLoader::registerProperty<UIButton>("image", [](UIButton& button, const Value& v) {
        return forEachState(v, [&](unsigned s, const Value& name) {
            if (!name.isString())
                return false;
            button.setImage(imageFromValue(name), s);
            return true;
        });
    });
    LayoutLoader::registerProperty<UIButton>("backgroundImage", [](UIButton& button, const Value& v) {
        return forEachState(v, [&](unsigned s, const Value& name) {
            if (!name.isString())
                return false;
            button.setBackgroundImage(imageFromValue(name), s);
            return true;
        });
    });
    font<UIButton>("font", [](UIButton& button, const Font& f) { button.titleLabel()->setFont(f); });

    text<UITextField>("text", [](UITextField& field, const std::string& s) { field.setText(s); });
    text<UITextField>("placeholder", [](UITextField& field, const std::string& s) { field.setPlaceholder(s); });
    font<UITextField>("font", [](UITextField& field, const Font& f) { field.setFont(f); });
    color<UITextField>("textColor", [](UITextField& field, const Color& c) { field.setTextColor(c); });
    alignment<UITextField>("textAlignment");
    flag<UITextField>("secureTextEntry", &UITextField::setSecureTextEntry);

    text<UITextView>("text", [](UITextView& view, const std::string& s) { view.setText(s); });
    font<UITextView>("font", [](UITextView& view, const Font& f) { view.setFont(f); });
    color<UITextView>("textColor", [](UITextView& view, const Color& c) { view.setTextColor(c); });
    flag<UITextView>("editable", &UITextView::setEditable);

    text<UIImageView>("image", [](UIImageView& view, const std::string& s) { view.setImage(UIImage::imageNamed(s)); });
    text<UIImageView>(
        "highlightedImage", [](UIImageView& view, const std::string& s) { view.setHighlightedImage(UIImage::imageNamed(s)); });

    // List screens dequeue cells by the identifier their layout file gives.
    text<UITableViewCell>(
        "reuseIdentifier", [](UITableViewCell& cell, const std::string& s) { cell.setReuseIdentifier(s); });
}

} // namespace platform
