#pragma once

#include <optional>
#include <string>

// Where the carrier's own web services live: instant messaging, its group
// chat (a path of the same host) and mail. By default the carrier's hosts;
// another base (ORB_CARRIER_BASE in the environment, or setBase) serves them
// as "<base>pigeon/", "<base>pigeon/parley/" and "<base>nimbus/", as the
// stand-in server does under "carrier/".
namespace CarrierAddresses {

std::string pigeon();
std::string parley();
std::string nimbus();

// nullopt: the carrier's own hosts (or ORB_CARRIER_BASE when set).
void setBase(std::optional<std::string> base);

} // namespace CarrierAddresses
