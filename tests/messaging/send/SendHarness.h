#pragma once

#include "core/model/ContactInfo.h"
#include "core/model/MessageInfo.h"
#include "tests/support/app/AppHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace sendtest {

// The demo teacher writing to a parent of the class: the accounts the
// stand-in server knows.
inline constexpr int kTeacherUid = 2001;
inline constexpr int kTeacherType = 1;
inline constexpr int kParentUid = 3001;
inline constexpr int kParentType = 2;

// Each case: the harness on the manual clock with the stand-in server, a key
// window to show menus in, the theme colours loaded and the demo teacher
// signed in.
class SendTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    testsupport::AppHarness& harness() { return *harness_; }
    server::StandinServer& standin() const { return *harness_->server(); }
    std::vector<server::LoggedRequest> requests() const { return harness_->serverRequests(); }
    // The requests whose route starts with the prefix ("upload/msgpic").
    std::size_t requestsUnder(const std::string& prefix) const;
    // Where the stand-in server serves what was uploaded into that folder.
    std::string filesAddress(const std::string& folder) const;

    // Makes the account with that uid the signed-in one (the teacher by default).
    static void becomeAccount(int uid, int type);
    static std::shared_ptr<core::ContactInfo> parent();
    // An own message to the parent, sending, with that text.
    static std::shared_ptr<core::MessageInfo> ownMessage(const std::string& text);
    // The same with a picked photo (its JPEG written to the temporary folder).
    std::shared_ptr<core::MessageInfo> photoMessage(const std::string& text);
    // The same with a recorded clip of that many seconds (an AMR file).
    std::shared_ptr<core::MessageInfo> voiceMessage(const std::string& text, int seconds);
    // A picture as the image picker would hand it over.
    static platform::Image pickedImage();
    std::string writeAmr(int seconds);

    // The parent's conversation as stored for the signed-in account.
    std::vector<std::shared_ptr<core::MessageInfo>> storedConversation();
    // The notifications of that name posted so far, and their messages.
    std::vector<std::shared_ptr<core::MessageInfo>> posted(const std::string& name) const;

private:
    std::unique_ptr<testsupport::AppHarness> harness_;
};

platform::Bytes fileBytes(const std::string& path);

} // namespace sendtest
