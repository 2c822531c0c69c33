#pragma once

#include "platform/uikit/UIViewController.h"

namespace foundation {

// A plain view controller that turns with the device in every orientation:
// the one the sign-in dialog is shown from.
class AutorotatingViewController : public UIViewController {
public:
    ORB_CLASS_NAME(AutorotatingViewController)

    virtual bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation) const { return true; }
};

} // namespace foundation
