#include "netconfig/ipv4_text.h"

#include <arpa/inet.h>

std::string formatIpv4(std::uint32_t networkOrder) {
    char text[32] = {};
    inet_ntop(AF_INET, &networkOrder, text, sizeof text);
    return text;
}
