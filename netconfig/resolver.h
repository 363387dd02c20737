// The internet DNS resolver written into "/etc/resolv.conf" for a static configuration.
#pragma once

// Quad9: a public resolver reachable from any network with a gateway to the internet.
inline constexpr char kPublicResolver[] = "9.9.9.9";
