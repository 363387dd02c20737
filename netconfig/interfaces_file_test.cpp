#include "netconfig/interfaces_file.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/file_io.h"
#include "base/temp_dir.h"
#include "base/text_file.h"
#include "netconfig/test_sandbox.h"

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::StartsWith;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

constexpr char kOriginal[] = "auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet dhcp\n";

QEL_Finder::InterfaceConfig dhcpRequest() {
    return QEL_Finder::makeInterfaceConfig(0xFFFFFFFFu, 0, 0);
}

QEL_Finder::InterfaceConfig staticRequest() {
    return QEL_Finder::makeInterfaceConfig(htonl(0x0A000002), htonl(0xFF000000), 0);  // 10.0.0.2/8
}

class InterfacesFileRewrite : public testing::Test {
  protected:
    fs::path file() const { return dir.path() / "interfaces"; }
    fs::path tmp() const { return dir.path() / "interfaces.tmp"; }
    fs::path bak() const { return dir.path() / "interfaces.bak"; }
    TempDir dir;
};

FileAccess accessOf(fs::path const& file) {
    FileAccess access;
    EXPECT_FALSE(readFileAccess(file, access)) << file;
    return access;
}

// Sets or clears the immutable attribute; false when the file system or the caller cannot.
bool setImmutable(fs::path const& file, bool on) {
    int const fd = open(file.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
}

}  // namespace

TEST_F(InterfacesFileRewrite, InstallsTheNewFileAndKeepsThePreviousAsBackup) {
    writeText(file(), kOriginal);
    writeText(bak(), "older generation\n");
    ASSERT_TRUE(updateInterfacesFileAt(file(), staticRequest(), "eth0"));
    EXPECT_EQ(readText(file()),
              "auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet static\n"
              "  address 10.0.0.2\n  netmask 255.0.0.0\n\n");
    EXPECT_EQ(readText(bak()), kOriginal);
    EXPECT_FALSE(fs::exists(tmp()));

    ASSERT_TRUE(updateInterfacesFileAt(file(), dhcpRequest(), "eth0"));
    EXPECT_EQ(readText(file()), std::string(kOriginal) + "\n");
    EXPECT_THAT(readText(bak()), HasSubstr("inet static"));
}

// Cameras with a read-only root keep the file on a data partition behind links; a Wi-Fi key
// makes it private. The file at the end is rewritten with its owner and mode, the links stay.
TEST_F(InterfacesFileRewrite, LinkedPrivateFileIsRewrittenAtItsTarget) {
    fs::path const data = dir.path() / "data";
    fs::create_directory(data);
    writeText(data / "interfaces", kOriginal);
    if (chown((data / "interfaces").c_str(), 1234, 5678) != 0 ||
        chmod((data / "interfaces").c_str(), 0600) != 0) {
        GTEST_SKIP() << "needs root to give the file another owner";
    }
    fs::create_symlink("interfaces", data / "current");
    fs::create_symlink("data/current", file());
    ASSERT_TRUE(updateInterfacesFileAt(file(), dhcpRequest(), "eth0"));
    EXPECT_TRUE(fs::is_symlink(file()) && fs::is_symlink(data / "current"));
    EXPECT_EQ(readText(data / "interfaces"), std::string(kOriginal) + "\n");
    EXPECT_EQ(accessOf(data / "interfaces"), (FileAccess{1234, 5678, 0600}));
    EXPECT_EQ(readText(data / "interfaces.bak"), kOriginal);
    EXPECT_FALSE(fs::exists(data / "interfaces.tmp") || fs::exists(tmp()) || fs::exists(bak()));
}

TEST_F(InterfacesFileRewrite, UnreadableConfigurationChangesNothing) {
    CaptureStderr();
    EXPECT_FALSE(updateInterfacesFileAt(file(), dhcpRequest(), "eth0"));
    EXPECT_EQ(GetCapturedStderr(), "Unable to open configuration file " + file().string() + "\n");

    // A directory opens but fails on the first read: an input error, not an empty file.
    fs::create_directory(file());
    CaptureStderr();
    EXPECT_FALSE(updateInterfacesFileAt(file(), dhcpRequest(), "eth0"));
    EXPECT_EQ(GetCapturedStderr(),
              "Unable to read configuration file " + file().string() + ": Is a directory\n");
    EXPECT_FALSE(fs::exists(tmp()));
    EXPECT_FALSE(fs::exists(bak()));
    EXPECT_TRUE(fs::is_directory(file()));
}

// The copy made for the backup gets the file's owner and mode as a hard link would.
TEST_F(InterfacesFileRewrite, ImmutableTargetFallsBackToCopyThenFailsItsRename) {
    writeText(file(), kOriginal);
    if (chown(file().c_str(), 1234, 5678) != 0 || chmod(file().c_str(), 0640) != 0 ||
        !setImmutable(file(), true)) {
        GTEST_SKIP() << "cannot set the immutable attribute here (needs root and ext4-like fs)";
    }
    CaptureStderr();
    bool const rewritten = updateInterfacesFileAt(file(), dhcpRequest(), "eth0");
    std::string const message = GetCapturedStderr();
    setImmutable(file(), false);
    EXPECT_FALSE(rewritten);
    EXPECT_THAT(message, StartsWith("Unable to rename " + tmp().string()));
    EXPECT_EQ(readText(file()), kOriginal);
    EXPECT_EQ(readText(bak()), kOriginal);
    EXPECT_EQ(accessOf(bak()), (FileAccess{1234, 5678, 0640}));
    EXPECT_FALSE(fs::exists(tmp()));
}

TEST_F(InterfacesFileRewrite, ReadOnlyDirectoryNamesTheTemporaryFile) {
    fs::create_directory(dir.path() / "etc");
    fs::path const conf = dir.path() / "etc" / "interfaces";
    writeText(conf, kOriginal);
    auto const child = runInPrivateMounts(dir.path(), [&] {
        if (!bindMount(conf.parent_path(), conf.parent_path(), true)) {
            return 2;
        }
        return updateInterfacesFileAt(conf, dhcpRequest(), "eth0") ? 1 : 0;
    });
    if (!child) {
        GTEST_SKIP() << "needs root and a private mount namespace";
    }
    EXPECT_EQ(child->status, 0);
    EXPECT_EQ(child->err,
              "Unable to open configuration file " + conf.string() + ".tmp for writing\n");
    EXPECT_EQ(readText(conf), kOriginal);
}

// Fills the file system at dir with one-page files, then frees `pages` of them again.
void fillUp(fs::path const& dir, int pages) {
    std::string const page(4096, 'x');
    int count = 0;
    for (;; ++count) {
        int const fd = open((dir / ("filler" + std::to_string(count))).c_str(),
                            O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        bool const full = fd < 0 || write(fd, page.data(), page.size()) <= 0;
        close(fd);
        if (full) {
            break;
        }
    }
    for (int i = 0; i <= pages && count - i >= 0; ++i) {
        fs::remove(dir / ("filler" + std::to_string(count - i)));
    }
}

// Room for the new file but not for a copy of the old one, whose hard link is refused: the
// rewrite is abandoned and the backup of the change before stays as it was.
TEST_F(InterfacesFileRewrite, FailedBackupKeepsThePreviousBackupWhole) {
    fs::path const mnt = dir.path() / "small";
    fs::path const seen = dir.path() / "seen";
    fs::create_directory(mnt);
    fs::create_directory(seen);
    auto const child = runInPrivateMounts(dir.path(), [&] {
        if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0) {
            return 2;
        }
        writeText(mnt / "interfaces", kOriginal);
        writeText(mnt / "interfaces.bak", "older generation\n");
        if (!setImmutable(mnt / "interfaces", true)) {
            return 3;
        }
        fillUp(mnt, 1);
        bool const rewritten = updateInterfacesFileAt(mnt / "interfaces", dhcpRequest(), "eth0");
        setImmutable(mnt / "interfaces", false);
        for (auto const& name :
             {"interfaces", "interfaces.bak", "interfaces.bak.tmp", "interfaces.tmp"}) {
            if (fs::exists(mnt / name)) {
                fs::copy(mnt / name, seen / name);
            }
        }
        return rewritten ? 1 : 0;
    });
    if (!child || child->status == 3) {
        GTEST_SKIP() << "needs root, a private mount namespace and the immutable attribute";
    }
    EXPECT_EQ(child->status, 0);
    EXPECT_THAT(child->err, StartsWith("Unable to keep " + (mnt / "interfaces").string() + " as " +
                                       (mnt / "interfaces.bak").string() + ": "));
    EXPECT_EQ(readText(seen / "interfaces"), kOriginal);
    EXPECT_EQ(readText(seen / "interfaces.bak"), "older generation\n");
    EXPECT_FALSE(fs::exists(seen / "interfaces.bak.tmp"));
    EXPECT_FALSE(fs::exists(seen / "interfaces.tmp"));
}

TEST_F(InterfacesFileRewrite, FullDiskAbandonsTheRewrite) {
    fs::path const mnt = dir.path() / "small";
    fs::path const seen = dir.path() / "seen";
    fs::create_directory(mnt);
    fs::create_directory(seen);
    // The long original makes the new text need fresh pages that the full file system lacks.
    std::string original = kOriginal;
    for (int i = 0; i < 200; ++i) {
        original += "# padding line " + std::to_string(i) + "\n";
    }
    auto const child = runInPrivateMounts(dir.path(), [&] {
        if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0) {
            return 2;
        }
        writeText(mnt / "interfaces", original);
        int const filler = open((mnt / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
        std::string const page(4096, 'x');
        while (write(filler, page.data(), page.size()) > 0) {
        }
        close(filler);
        bool const rewritten = updateInterfacesFileAt(mnt / "interfaces", dhcpRequest(), "eth0");
        fs::copy(mnt, seen, fs::copy_options::recursive);
        return rewritten ? 1 : 0;
    });
    if (!child) {
        GTEST_SKIP() << "needs root and a private mount namespace";
    }
    EXPECT_EQ(child->status, 0);
    EXPECT_EQ(child->err, "Unable to write " + (mnt / "interfaces.tmp").string() +
                              ": No space left on device\n");
    EXPECT_EQ(readText(seen / "interfaces"), original);
    EXPECT_FALSE(fs::exists(seen / "interfaces.tmp"));
    EXPECT_FALSE(fs::exists(seen / "interfaces.bak"));
}
