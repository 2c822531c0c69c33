#pragma once

#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "tests/support/app/AppHarness.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class UIView;

namespace composetest {

struct AddressBook {
    std::vector<std::shared_ptr<core::GroupInfo>> groups;
    std::map<std::string, std::vector<std::shared_ptr<core::ContactInfo>>> contacts;

    std::shared_ptr<core::GroupInfo> group(const std::string& uid) const;
    std::shared_ptr<core::ContactInfo> contact(const std::string& groupUid, int uid) const;
};

// The signed-in account's whole address book fetched from the stand-in
// server and stored as the contacts screen stores it; `extraGroups` are
// stored beside the school's (a group of people already in other groups,
// an empty one). False when the download or the store fails.
bool storeAddressBook(testsupport::AppHarness& harness,
    const std::vector<std::pair<std::shared_ptr<core::GroupInfo>, std::vector<std::shared_ptr<core::ContactInfo>>>>&
        extraGroups
    = {});

// The stored groups and their contacts, as the compose screen reads them.
AddressBook loadAddressBook();

// A subview of `root` by outlet name, or the text it shows.
std::string textOf(const std::shared_ptr<UIView>& root, const std::string& outlet);

} // namespace composetest
