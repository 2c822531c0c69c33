// The application's localisation table: the words the toolkit and the shared
// views write in English as keys (the list's pull-to-refresh and load-more
// texts, bar buttons, the photo browser's sheet and progress words, the edit
// menu), as the Chinese client shows them. A key without an entry is shown as
// it is.
#include "platform/os/Bundle.h"

#include <map>

namespace platform {

namespace {

    const std::map<std::string, std::string, std::less<>>& table()
    {
        static const std::map<std::string, std::string, std::less<>> entries {
            // Lists pulled down to refresh and up to load the next page.
            { "Pull down to refresh", "下拉刷新" },
            { "Pull to refresh...", "下拉刷新..." },
            { "Release to refresh", "松开即可刷新" },
            { "Release to refresh...", "松开即可刷新..." },
            { "Pull up to load more", "上拉加载更多" },
            { "Release to load more", "松开加载更多" },
            { "Loading...", "正在加载..." },
            { "Last Updated Time", "上次更新" },
            { "Last Updated: %@", "上次更新: %@" },
            { "Never", "无" },
            // Bar buttons and the navigation bar's back button.
            { "Done", "完成" },
            { "Cancel", "取消" },
            { "Back", "返回" },
            { "Delete", "删除" },
            // The edit menu.
            { "Copy", "复制" },
            { "Paste", "粘贴" },
            { "Cut", "剪切" },
            { "Select", "选择" },
            { "Select All", "全选" },
            // The photo browser: its page count, action sheet and progress words.
            { "%i of %i", "%i/%i" },
            { "Save", "保存" },
            { "Email", "邮件" },
            { "Saving", "正在保存" },
            { "Saved", "已保存" },
            { "Failed", "操作失败" },
            { "Copying", "正在复制" },
            { "Copied", "已复制" },
            { "Preparing", "正在准备" },
            { "Photo", "照片" },
            { "Email failed to send. Please try again.", "邮件发送失败，请重试。" },
            { "Dismiss", "关闭" },
        };
        return entries;
    }

} // namespace

std::string Bundle::localizedString(std::string_view key) const
{
    const auto& entries = table();
    if (auto found = entries.find(key); found != entries.end())
        return found->second;
    return std::string(key);
}

std::string localizedString(std::string_view key) { return Bundle::main()->localizedString(key); }

} // namespace platform
