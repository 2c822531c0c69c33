#include "circle/feed/PraiseBook.h"

#include "core/session/MyAccountInfo.h"

namespace circle {

PraiseBook& PraiseBook::shared()
{
    static PraiseBook book;
    return book;
}

bool PraiseBook::ownedBy(const std::shared_ptr<core::AccountInfo>& account)
{
    auto current = core::MyAccountInfo::currentAccount();
    if (owner_.lock() != current || !current) {
        praised_.clear();
        sending_.clear();
        owner_ = current;
    }
    return current && account == current;
}

bool PraiseBook::isPraised(long long weiboId)
{
    if (!ownedBy(core::MyAccountInfo::currentAccount()))
        return false;
    return praised_.count(weiboId) != 0;
}

bool PraiseBook::begin(long long weiboId)
{
    auto current = core::MyAccountInfo::currentAccount();
    // Signed out: the request goes and its own failure says why.
    if (!current)
        return true;
    ownedBy(current);
    if (praised_.count(weiboId) != 0 || sending_.count(weiboId) != 0)
        return false;
    sending_.insert(weiboId);
    return true;
}

void PraiseBook::succeeded(long long weiboId, const std::shared_ptr<core::AccountInfo>& account)
{
    if (!ownedBy(account))
        return;
    sending_.erase(weiboId);
    praised_.insert(weiboId);
}

void PraiseBook::failed(long long weiboId, const std::shared_ptr<core::AccountInfo>& account)
{
    if (!ownedBy(account))
        return;
    sending_.erase(weiboId);
}

} // namespace circle
