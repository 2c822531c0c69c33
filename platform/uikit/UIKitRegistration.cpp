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
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"

namespace platform {

void registerUIKitClasses()
{
    auto& registry = ClassRegistry::shared();
    registry.registerClass<UIView>("UIView");
    registry.registerClass<UIWindow>("UIWindow");
    registry.registerClass<UIControl>("UIControl");
    registry.registerClass<UIButton>("UIButton");
    registry.registerClass<UILabel>("UILabel");
    registry.registerClass<UIImageView>("UIImageView");
    registry.registerClass<UITextField>("UITextField");
    registry.registerClass<UITextView>("UITextView");
    registry.registerClass<UIActivityIndicatorView>("UIActivityIndicatorView");
    registry.registerClass<UIPageControl>("UIPageControl");
    registry.registerClass<UIPickerView>("UIPickerView");
    registry.registerClass<UIDatePicker>("UIDatePicker");
    registry.registerClass<UIToolbar>("UIToolbar");
    registry.registerClass<UIAlertView>("UIAlertView");
    registry.registerClass<UIActionSheet>("UIActionSheet");
    registry.registerClass<UIBarButtonItem>("UIBarButtonItem");
    registry.registerClass<UITapGestureRecognizer>("UITapGestureRecognizer");
    registry.registerClass<UISwipeGestureRecognizer>("UISwipeGestureRecognizer");
    registry.registerClass<UILongPressGestureRecognizer>("UILongPressGestureRecognizer");
    registry.registerClass<UIViewController>("UIViewController");
    registry.registerClass<UINavigationController>("UINavigationController");
    registry.registerClass<UIScrollView>("UIScrollView");
    registry.registerClass<UITableView>("UITableView");
    registry.registerClass<UITableViewCell>("UITableViewCell");
    registry.registerClass<UIWebView>("UIWebView");
    registerLayoutProperties();
}

} // namespace platform
