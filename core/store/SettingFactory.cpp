#include "core/store/SettingFactory.h"

#include <sqlite3.h>

#include <mutex>

namespace core {

namespace {

    enum StepLine : int {
        kLineCreate = 501,
        kLineUpdate = 502,
        kLineSelect = 503,
    };

    constexpr const char* kCreateSettings
        = "CREATE TABLE IF NOT EXISTS `tb_setting` (`name` text NOT NULL, `value` text, PRIMARY KEY(`name`));";

    std::mutex& cacheMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    SettingFactory::Settings& cache()
    {
        static SettingFactory::Settings settings;
        return settings;
    }

    void loadCache()
    {
        SettingFactory store;
        auto all = store.getListAll();
        std::lock_guard lock(cacheMutex());
        cache() = all ? std::move(*all) : SettingFactory::Settings();
    }

} // namespace

SettingFactory::SettingFactory()
{
    if (open()) {
        exec(kCreateSettings, kLineCreate);
        close();
    }
}

StoreSchema SettingFactory::schema() { return { {}, {}, { { "tb_setting", kCreateSettings } }, {} }; }

bool SettingFactory::setValueForKey(const std::string& value, const std::string& name)
{
    SettingFactory store;
    if (!store.setValue(value, name))
        return false;
    loadCache();
    return true;
}

std::optional<std::string> SettingFactory::objectForKey(const std::string& name)
{
    bool empty;
    {
        std::lock_guard lock(cacheMutex());
        empty = cache().empty();
    }
    if (empty)
        loadCache();
    std::lock_guard lock(cacheMutex());
    auto it = cache().find(name);
    if (it == cache().end())
        return std::nullopt;
    return it->second;
}

void SettingFactory::clearCache()
{
    std::lock_guard lock(cacheMutex());
    cache().clear();
}

bool SettingFactory::setValue(const std::string& value, const std::string& name)
{
    if (!open())
        return false;
    bool ok = false;
    {
        StoreStatement update = prepare("UPDATE `tb_setting` SET `value`=? WHERE `name`=?;", kLineUpdate);
        ok = update && update.bindText(1, value) && update.bindText(2, name) && update.run();
    }
    close();
    return ok;
}

std::optional<SettingFactory::Settings> SettingFactory::getListAll()
{
    if (!open())
        return std::nullopt;
    std::optional<Settings> all;
    {
        StoreStatement select = prepare("SELECT `name`,`value` FROM `tb_setting`;", kLineSelect);
        if (select) {
            all.emplace();
            while (select.next()) {
                auto name = select.columnText(0);
                auto value = select.columnText(1);
                if (name && value)
                    (*all)[*name] = *value;
            }
        }
    }
    close();
    return all;
}

std::optional<std::string> NavFactory::setClassList(const std::string&) { return std::nullopt; }

std::optional<std::string> NavFactory::getClassList() { return std::nullopt; }

} // namespace core
