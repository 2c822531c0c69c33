#include "messaging/group/GroupStateButtonCell.h"

#include "platform/uikit/UIButton.h"

void GroupStateButtonCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("btnResend", btnResend_);
}
