#include "platform/uikit/UIKitRegistration.h"

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UILongPressGestureRecognizer.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIToolbar.h"
#include "platform/uikit/UISegmentedControl.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

void registerUIKitClasses()
{
    auto& registry = ClassRegistry::shared();
    registry.registerClass<UIView>();
    registry.registerClass<UIWindow>();
    registry.registerClass<UIControl>();
    registry.registerClass<UIButton>();
    registry.registerClass<UILabel>();
    registry.registerClass<UIImageView>();
    registry.registerClass<UITextField>();
    registry.registerClass<UITextView>();
    registry.registerClass<UIActivityIndicatorView>();
    registry.registerClass<UIPageControl>();
    registry.registerClass<UIPickerView>();
    registry.registerClass<UIDatePicker>();
    registry.registerClass<UIToolbar>();
    registry.registerClass<UIAlertView>();
    registry.registerClass<UIActionSheet>();
    registry.registerClass<UIBarButtonItem>();
    registry.registerClass<UITapGestureRecognizer>();
    registry.registerClass<UISwipeGestureRecognizer>();
    registry.registerClass<UILongPressGestureRecognizer>();
    registry.registerClass<UIViewController>();
    registry.registerClass<UINavigationController>();
    registry.registerClass<UIScrollView>();
    registry.registerClass<UITableView>();
    registry.registerClass<UITableViewCell>();
    registry.registerClass<UIWebView>();
    registry.registerClass<UISegmentedControl>();
    registerLayoutProperties();
}

} // namespace platform
