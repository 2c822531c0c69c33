#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UITableViewCell.h"

#include <memory>

class UITableView;
#include <string>
#include <string_view>
#include <utility>

// The common base of the app's table cells. Each cell class lays itself out
// in the layout file named exactly after the class, and the list screens ask
// the class, not an instance, for what they need: a fresh cell, the row
// height, a prototype for measuring and the reuse identifier. The last three
// are cached per class for the life of the process, so a list of a thousand
// rows loads its cell's layout once for the height, not a thousand times.
//
// A subclass declares its name once (ORB_CLASS_NAME) and is registered with
// registerCellClass<T>() so that its layout file can create it:
//
//     class EmptyCell : public BaseCell {
//     public:
//         ORB_CLASS_NAME(EmptyCell)
//         void secondPart() override; // finishes the set-up
//     };
//     BaseCell::height<EmptyCell>();
//
// Set-up: cells made by make<T>() (code) or by their layout file pass through
// secondPart() once, after construction; a cell made with a style and reuse
// identifier (the two-argument constructor) does not, as on the phone.
class BaseCell : public UITableViewCell {
public:
    ORB_CLASS_NAME(BaseCell)

    BaseCell() = default;
    BaseCell(UITableViewCellStyle style, std::string reuseIdentifier)
        : UITableViewCell(style, std::move(reuseIdentifier))
    {
    }

    // The subclasses' hook for the rest of their set-up. Nothing here.
    virtual void secondPart() { }

    // A new cell of class T, set up (what init and initWithFrame give).
    template <class T, class... Args> static std::shared_ptr<T> make(Args&&... args)
    {
        auto made = std::make_shared<T>(std::forward<Args>(args)...);
        made->secondPart();
        return made;
    }

    // Registers T under T::kClassName with a factory that runs secondPart,
    // so cells loaded from layout files are set up like the ones made in code.
    template <class T> static bool registerCellClass()
    {
        static_assert(platform::NamedClass<T>, "declare the cell's own name with ORB_CLASS_NAME");
        return platform::ClassRegistry::shared().registerClass(
            std::string(T::kClassName), [] { return std::static_pointer_cast<platform::Object>(make<T>()); });
    }

    // ---- Class services, by class ------------------------------------------------
    // A fresh cell from the layout named after T: its first top-level object,
    // or nullptr when the file is missing or its first object is no T.
    template <class T> static std::shared_ptr<T> cell()
    {
        return std::dynamic_pointer_cast<T>(cellNamed(T::kClassName));
    }
    // The height of the layout's cell (its bounds), 0 when none loads; cached.
    template <class T> static double height() { return heightNamed(T::kClassName); }
    // One cell kept for measuring variable rows; cached (nullptr stays nullptr).
    template <class T> static std::shared_ptr<T> demo()
    {
        return std::dynamic_pointer_cast<T>(demoNamed(T::kClassName));
    }
    // The layout cell's reuse identifier; cached.
    template <class T> static std::string identifier() { return identifierNamed(T::kClassName); }
    // A T for a row of the table: one the table has for reuse under T's
    // identifier, else a fresh one from T's layout; nullptr when neither is a T.
    template <class T> static std::shared_ptr<T> dequeue(UITableView& table)
    {
        return std::dynamic_pointer_cast<T>(dequeueNamed(table, T::kClassName));
    }

    // The same by class name: the layout of that name and the cache entry under it.
    static std::shared_ptr<UITableViewCell> cellNamed(std::string_view className);
    static double heightNamed(std::string_view className);
    static std::shared_ptr<UITableViewCell> demoNamed(std::string_view className);
    static std::string identifierNamed(std::string_view className);
    static std::shared_ptr<UITableViewCell> dequeueNamed(UITableView& table, std::string_view className);

    // Empties the three caches (tests that ship layouts of their own between cases).
    static void resetCachesForTesting();
};
