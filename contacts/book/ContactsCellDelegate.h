#pragma once

#include "core/model/ContactInfo.h"

#include <memory>

// What the address book's rows tell the screen.
class ContactsCellDelegate {
public:
    static constexpr int kCallTypeCall = 0;
    static constexpr int kCallTypeMessage = 1;

    virtual ~ContactsCellDelegate() = default;
    // The avatar: open the contact's detail.
    virtual void contactsCellDidClickAvatar(const std::shared_ptr<core::ContactInfo>& contact) = 0;
    // The row's call (0) or message (1) button.
    virtual void contactsCellDidClickAvatar(const std::shared_ptr<core::ContactInfo>& contact, int callType) = 0;
};
