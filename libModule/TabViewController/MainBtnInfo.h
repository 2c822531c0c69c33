#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"

#include <memory>
#include <string>

// One tab of the main screen, read from an entry of the tab table.
class MainBtnInfo final : public platform::Object {
public:
    ORB_CLASS_NAME(MainBtnInfo)

    // The picture number: icons "main_btn_%02i.png" and "main_btn_%02i_s.png".
    int uid = 0;
    std::string name;
    // The class of the tab's first screen, also its layout's name.
    std::string vc;
    bool current = false;

    // Each key counts only with its expected kind (numbers for "uid" and
    // "current", texts for "name" and "vc"); others leave the field as it was.
    static std::shared_ptr<MainBtnInfo> btnWithObj(const platform::Value& obj);
    void initWithObj(const platform::Value& obj);
};
