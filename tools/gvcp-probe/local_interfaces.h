// The PC's network interfaces, and the ones a request goes out on.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace gvcp_probe {

struct LocalInterface {
    std::string name;
    int index = 0;
    bool up = false;
    bool loopback = false;
    std::uint32_t address = 0;  // its first IPv4 address, network order; 0 for none
};

// Every interface of the PC, in the system's order, an alias's address ("eth0:1") counted as its
// device's; the system's error text otherwise.
std::variant<std::vector<LocalInterface>, std::string> listLocalInterfaces();

// The interfaces to ask on: the named ones, each once, or with no names every one that is up, not
// loopback and has an IPv4 address. A one-line error for a name that is not such an interface
// (loopback may be named) or when none is left.
std::variant<std::vector<LocalInterface>, std::string> interfacesToAsk(
    std::vector<LocalInterface> const& all, std::vector<std::string> const& named);

// The name of the interface with this index, or "interface N" for one the list does not know.
std::string interfaceName(std::vector<LocalInterface> const& all, int index);

}  // namespace gvcp_probe
