#pragma once

#include "platform/graphics/Color.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

class UIControl;
class UIView;

namespace platform {

// What a layout file may connect on an object: outlets (name → member) and
// actions (selector name → member function). C++ has no reflection, so each
// class that owns layout objects lists its own in declareLayoutBindings.
// An outlet or action is required: a file that lacks it is reported (see
// LayoutLoader::takeReports), unless it was declared optional.
class LayoutBindings final {
public:
    using OutletSetter = std::function<bool(const std::shared_ptr<Object>&)>;
    using ActionMaker = std::function<std::function<void(UIControl*)>()>;

    explicit LayoutBindings(std::weak_ptr<Object> owner)
        : owner_(std::move(owner))
    {
    }

    // A strong outlet: the member receives the object when it is of class T
    // (or a subclass); an object of another class is not bound (logged).
    template <class T> void outlet(std::string name, std::shared_ptr<T>& member)
    {
        outlets_.push_back({ std::move(name), [&member](const std::shared_ptr<Object>& object) {
                                auto typed = std::dynamic_pointer_cast<T>(object);
                                if (!typed)
                                    return false;
                                member = std::move(typed);
                                return true;
                            } });
    }
    // An outlet some of the class's files leave out.
    template <class Member> void optionalOutlet(std::string name, Member& member)
    {
        outlet(std::move(name), member);
        outlets_.back().optional = true;
    }
    // A weak outlet (views the owner does not keep alive itself).
    template <class T> void outlet(std::string name, std::weak_ptr<T>& member)
    {
        outlets_.push_back({ std::move(name), [&member](const std::shared_ptr<Object>& object) {
                                auto typed = std::dynamic_pointer_cast<T>(object);
                                if (!typed)
                                    return false;
                                member = typed;
                                return true;
                            } });
    }
    void outlet(std::string name, OutletSetter setter) { outlets_.push_back({ std::move(name), std::move(setter) }); }
    // Views the file holds several of under one name (the sending row's dots):
    // each is handed to the member in the file's order.
    template <class T> void outletCollection(std::string name, std::vector<std::shared_ptr<T>>& members)
    {
        outlets_.push_back({ std::move(name), [&members](const std::shared_ptr<Object>& object) {
                                auto typed = std::dynamic_pointer_cast<T>(object);
                                if (!typed)
                                    return false;
                                members.push_back(std::move(typed));
                                return true;
                            } });
    }

    // An action on the owner. The owner is held weakly by the control; the
    // sender may be declared as any control class (nullptr when it is not one).
    template <class C> void action(std::string selector, void (C::*method)())
    {
        std::weak_ptr<Object> owner = owner_;
        actions_.push_back({ std::move(selector), [owner, method]() -> std::function<void(UIControl*)> {
                                return [owner, method](UIControl*) {
                                    if (auto strong = std::dynamic_pointer_cast<C>(owner.lock()))
                                        (strong.get()->*method)();
                                };
                            } });
    }
    template <class C, class Sender> void action(std::string selector, void (C::*method)(Sender*))
    {
        std::weak_ptr<Object> owner = owner_;
        actions_.push_back({ std::move(selector), [owner, method]() -> std::function<void(UIControl*)> {
                                return [owner, method](UIControl* sender) {
                                    if (auto strong = std::dynamic_pointer_cast<C>(owner.lock()))
                                        (strong.get()->*method)(dynamic_cast<Sender*>(sender));
                                };
                            } });
    }

    // An action some of the class's files leave out (the code wires it there).
    template <class Method> void optionalAction(std::string selector, Method method)
    {
        action(std::move(selector), method);
        actions_.back().optional = true;
    }

    // False when the owner declares no such outlet or the object's class does not fit.
    bool bindOutlet(std::string_view name, const std::shared_ptr<Object>& object) const;
    // An empty function when the owner declares no such action.
    std::function<void(UIControl*)> makeAction(std::string_view selector) const;
    const std::weak_ptr<Object>& owner() const { return owner_; }
    // The required outlets and actions nothing in the file connected.
    std::vector<std::string> missingOutlets() const;
    std::vector<std::string> missingActions() const;

private:
    struct Outlet {
        std::string name;
        OutletSetter setter;
        bool optional = false;
        mutable bool bound = false;
    };
    struct Action {
        std::string selector;
        ActionMaker make;
        bool optional = false;
        mutable bool wired = false;
    };
    std::weak_ptr<Object> owner_;
    std::vector<Outlet> outlets_;
    std::vector<Action> actions_;
};

// Mixed into classes that own layout objects (controllers, views that load a
// layout of their own) or that want to hear that their layout is complete.
class LayoutBindable {
public:
    virtual ~LayoutBindable() = default;
    // Lists the outlets and actions the layout files may connect.
    virtual void declareLayoutBindings(LayoutBindings&) { }
    // Called once every object of the file is created, set up and connected,
    // in the file's order (parents before their subviews).
    virtual void awakeFromNib() { }
};

// Loads layout files ("nibs"): resources/layouts/<Name>.json, an array of
// top-level objects:
//   { "class": "UIButton", "frame": [x, y, w, h], "outlet": "btnLogin",
//     "tag": 3, "backgroundColor": "#RRGGBB", ... class properties ...,
//     "actions": { "touchUpInside": "btnLoginTouchUpInside:" },
//     "subviews": [ ... ] }
// A top-level object may also be a dictionary {"objects": [...]}. Objects are
// created through ClassRegistry::shared(); properties go through the setters
// registered per class (registerProperty), outlets and actions through the
// owner's LayoutBindings. Bad input never stops a load: an unknown class skips
// that object (and its subviews), an unknown property or outlet is ignored;
// each is reported on the log.
class LayoutLoader final {
public:
    LayoutLoader() = delete;

    using PropertySetter = std::function<bool(Object&, const Value&)>;

    // A setter for objects of class T (and its subclasses). When several
    // classes of a hierarchy register the same name, the latest registration
    // that fits the object applies. The setter returns false for a value it
    // cannot use.
    template <class T> static void registerProperty(std::string name, std::function<bool(T&, const Value&)> setter)
    {
        addProperty(std::move(name), typeid(T).name(), [setter = std::move(setter)](Object& object, const Value& v) {
            auto* typed = dynamic_cast<T*>(&object);
            return typed ? setter(*typed, v) : false;
        }, [](Object& object) { return dynamic_cast<T*>(&object) != nullptr; });
    }

    // Whether a layout of that name is found (in the override folders first,
    // then resources/layouts).
    static bool exists(std::string_view name);
    static std::string pathFor(std::string_view name);

    // The top-level objects of the file, in order. A missing or unreadable
    // file gives an empty list and a log line.
    static std::vector<std::shared_ptr<Object>> loadNamed(std::string_view name, const std::shared_ptr<Object>& owner);
    // The same from JSON text (tests, files outside the resources).
    static std::vector<std::shared_ptr<Object>> loadFromText(
        std::string_view json, const std::shared_ptr<Object>& owner, std::string_view nameForLog = "layout");
    // A named layout's file read and parsed, to be built from as often as
    // needed (a view made many times over); nothing, and a log line, when it
    // is missing or no JSON.
    static std::optional<Value> readNamed(std::string_view name);
    // The objects of a layout already parsed.
    static std::vector<std::shared_ptr<Object>> loadFromValue(
        const Value& layout, const std::shared_ptr<Object>& owner, std::string_view nameForLog = "layout");

    static std::shared_ptr<Object> firstTopLevelObject(std::string_view name, const std::shared_ptr<Object>& owner);
    static std::shared_ptr<Object> lastTopLevelObject(std::string_view name, const std::shared_ptr<Object>& owner);
    // The layout named after a class (cells, headers and screens that load
    // "their" layout), read from the name the class declares.
    template <NamedClass T>
    static std::vector<std::shared_ptr<Object>> loadNamedFor(const std::shared_ptr<Object>& owner)
    {
        return loadNamed(T::kClassName, owner);
    }

    // What the loads so far found wrong with their files against their owners
    // (an outlet or action the file lacks, one the owner lacks), one line
    // each, "<layout>: <what>"; taken, the list starts again. Logged too.
    static std::vector<std::string> takeReports();

    // Folders searched before resources/layouts (tests ship their own layouts).
    static void addOverrideDirectory(std::string directory);
    static void clearOverrideDirectories();

    // Parsing helpers the property setters share (also used by the screens).
    static std::optional<platform::Color> colorFromValue(const Value& value);
    static std::optional<unsigned> controlStateFromName(std::string_view name);
    static std::optional<unsigned> controlEventFromName(std::string_view name);

private:
    static void addProperty(std::string name, std::string typeName, PropertySetter setter,
        std::function<bool(Object&)> fits);
};

// The property setters of the toolkit's own classes. Idempotent.
void registerLayoutProperties();

} // namespace platform
