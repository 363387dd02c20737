// Bytes written as hex text, as the test tools take datagrams and GVCP req_ids.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Hex digits, two per byte, either case, spaces and colons allowed between them; nullopt for
// anything else (an odd number of digits, another character).
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);

// A GVCP req_id: two bytes written as parseHexBytes reads them ("0a05", "0a:05"), in wire order;
// nullopt for anything else, more or fewer bytes included.
std::optional<std::array<std::uint8_t, 2>> parseReqId(std::string_view text);
