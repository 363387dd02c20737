#include "netconfig/sourced_stanza.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include "base/temp_dir.h"
#include "base/text_file.h"

namespace fs = std::filesystem;

// Sourced files are followed as ifupdown follows them: wildcards, paths relative to the sourcing
// file, only plain names from a directory, nested sources, CRLF line ends; a loop ends.
TEST(SourcedStanza, StanzaInASourcedFileIsFound) {
    TempDir const dir;
    fs::path const file = dir.path() / "interfaces";
    std::error_code unreadable;
    fs::create_directories(dir.path() / "interfaces.d");
    fs::create_directories(dir.path() / "more");
    writeText(file,
              "auto lo\niface lo inet loopback\nsource interfaces.d/*\n"
              "  source-directory " +
                  (dir.path() / "mo*").string() + "\r\n");
    writeText(dir.path() / "interfaces.d" / "lo", "source ../interfaces\n");
    writeText(dir.path() / "interfaces.d" / "vlan", "iface eth0.5 inet manual\n");
    writeText(dir.path() / "more" / "eth0.conf", "iface eth0 inet dhcp\n");
    EXPECT_EQ(sourcedStanzaFile(file, "eth0", unreadable), std::nullopt);

    writeText(dir.path() / "more" / "eth0", "auto eth0\niface\teth0 inet dhcp\n");
    EXPECT_EQ(sourcedStanzaFile(file, "eth0", unreadable), dir.path() / "more" / "eth0");
    writeText(dir.path() / "interfaces.d" / "nested", "source-dir ../more\n");
    EXPECT_EQ(sourcedStanzaFile(file, "eth0", unreadable), dir.path() / "more" / "eth0");

    // The main file's own stanza is the one the rewrite replaces.
    writeText(file, "iface eth0 inet static\n  address 10.0.0.2\nsource interfaces.d/lo\n");
    EXPECT_EQ(sourcedStanzaFile(file, "eth0", unreadable), std::nullopt);
}
