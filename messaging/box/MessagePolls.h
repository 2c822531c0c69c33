#pragma once

#include "core/model/MessageInfo.h"
#include "core/store/MessageFactory.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <memory>
#include <vector>

// The polls for new messages on their way, whichever box sent them. The
// server hands each new message out once: what a poll brings is stored
// under the account the poll was made for, whatever happened meanwhile. A
// box answers its own polls while it polls for the account signed in; a poll
// it no longer waits for (another child chosen, the parent signed out, the
// box let go) is handed over here and its answer stored here, announced to
// no screen. The exit waits for the polls on their way as it waits for
// sends, and cancels those its grace leaves unanswered. Main thread only.
class MessagePolls final : public foundation::HTTPRequestDelegate, public std::enable_shared_from_this<MessagePolls> {
public:
    // The process-wide one, kept for the process.
    static std::shared_ptr<MessagePolls> shared();

    // A poll's answer, read as the dispatcher reads it; nothing (null) for an
    // answer past what its kind can be.
    static platform::Value answerOf(const foundation::HTTPRequest& request);
    // The messages of an answer that a store can keep and a chat can show:
    // each with an id, a sender and a time, received now.
    static core::MessageList messagesOf(const platform::Value& answer);
    // Stores the messages under the account; those the store refuses are
    // kept for the run under it instead.
    static void store(core::MessageFactory& factory, const core::MessageList& messages, int accountUid);

    // A box's poll has gone out, and its box has taken its answer or failure.
    void started(const foundation::HTTPRequestPtr& request);
    void answered(const foundation::HTTPRequest* request);
    // A poll for `accountUid` that its box no longer waits for: its answer is
    // stored here. Nothing for a request that is not on its way.
    void adopt(const foundation::HTTPRequestPtr& request, int accountUid);
    // Polls sent and not yet answered, by a box or here.
    std::size_t onTheirWay() const { return onTheirWay_.size(); }

    // The client is ending: no poll starts after this, so the wait for those
    // on their way ends.
    void stopStarting() { starting_ = false; }
    bool mayStart() const { return starting_; }
    // The exit's grace is over: every poll still on its way is cancelled, by
    // a box or here, and heard of no more. Left on the network thread as it
    // stops, a poll would never finish, and the exit would wait for it again
    // among the work in the background. How many there were.
    std::size_t cancelOnTheirWay();

    // Request handlers of the polls handed over.
    void pollSucceeded(const foundation::HTTPRequestPtr& request);
    void pollFailed(const foundation::HTTPRequestPtr& request);

    // Forgets the run, as a new process starts.
    void resetForTesting();

private:
    MessagePolls() = default;

    struct OnItsWay {
        foundation::HTTPRequestPtr request;
        // Set once handed over: the account its answer is stored under.
        int adoptedFor = 0;
    };

    std::vector<OnItsWay>::iterator find(const foundation::HTTPRequest* request);

    std::vector<OnItsWay> onTheirWay_;
    bool starting_ = true;
};
