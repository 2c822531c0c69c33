#pragma once

#include <memory>
#include <set>

namespace core {
struct AccountInfo;
}

namespace circle {

// The posts the signed-in account has praised while it is signed in, and
// the praises still on their way. The feed and the post detail both ask it:
// a post praised on either screen shows as praised on both, and a second tap
// sends nothing. It belongs to the current account: another account (or a
// new sign-in) starts with an empty book. The server keeps only the count,
// so a post praised in an earlier sign-in is not known here.
// Main thread only.
class PraiseBook final {
public:
    static PraiseBook& shared();

    // Whether the current account praised the post.
    bool isPraised(long long weiboId);
    // Whether a praise of the post can be sent now: none was sent by the
    // current account and none is on its way. When it answers true the
    // praise counts as on its way until succeeded() or failed().
    bool begin(long long weiboId);
    // The answer to a praise begun for `account`; an answer that arrives
    // after the account changed is not written into the new account's book.
    void succeeded(long long weiboId, const std::shared_ptr<core::AccountInfo>& account);
    void failed(long long weiboId, const std::shared_ptr<core::AccountInfo>& account);

private:
    // Empties the book when the current account is no longer the one it
    // was kept for; answers whether `account` is the book's owner.
    bool ownedBy(const std::shared_ptr<core::AccountInfo>& account);

    std::weak_ptr<core::AccountInfo> owner_;
    std::set<long long> praised_;
    std::set<long long> sending_;
};

} // namespace circle
