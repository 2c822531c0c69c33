#pragma once

#include "messaging/chat/MessageBaseCell.h"
#include "platform/uikit/UITableView.h"
#include "tests/messaging/voice/VoiceHarness.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace chattest {

// A conversation table as the chat screen keeps one: a row per message, the
// bubble class and the row height chosen by the message, cells reused by the
// table, the bubbles reporting here. Lies in the window's root view.
class ChatTable final : public UITableViewDataSource,
                        public UITableViewDelegate,
                        public MessageBaseCellDelegate,
                        public std::enable_shared_from_this<ChatTable> {
public:
    static std::shared_ptr<ChatTable> inWindow(const platform::Rect& frame);

    std::vector<std::shared_ptr<core::MessageInfo>> messages;
    std::shared_ptr<UITableView> table;
    // What the bubbles reported.
    std::vector<std::weak_ptr<MessageBaseCell>> clicked;
    std::vector<int> shownPhotos;
    int sizeUpdates = 0;
    // What a tap does besides being recorded (the chat plays a clip here).
    std::function<void(MessageBaseCell&)> onClick;

    void reload();
    std::shared_ptr<MessageBaseCell> cellAt(long row) const;
    double heightAt(long row) const;

    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(messages.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) override;

    void messageBaseCellDidClick(MessageBaseCell& cell) override;
    void messageBaseCellDidShowPhoto(MessageBaseCell&, int index) override { shownPhotos.push_back(index); }
    void messageBaseCellUpdateSize(MessageBaseCell&) override;

    // The row height the chat gives a message, by its bubble class.
    static double rowHeight(const core::MessageInfo& message);
};

// The harness with the stand-in server and the voice devices (the voice
// fixture), a signed-in account whose avatar the server serves, and the
// device in China's zone.
class ChatBubbleTest : public voicetest::VoiceTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string serverFile(const std::string& path) const { return pullAddress("static/" + path); }
    std::shared_ptr<core::MessageInfo> textMessage(const std::string& text, bool to) const;
    std::shared_ptr<core::MessageInfo> photoMessage(const std::string& file, bool to, float width = 0, float height = 0) const;
    std::shared_ptr<core::MessageInfo> soundMessage(int seconds, bool to) const;
    std::shared_ptr<core::MessageInfo> groupMessage(const std::string& text, int photos, int seconds) const;

private:
    std::string previousZone_;
    bool hadZone_ = false;
};

} // namespace chattest
