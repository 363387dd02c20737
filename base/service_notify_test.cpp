#include "base/service_notify.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(NotifySocket, PathsAndAbstractNamesThatFitTheAddress) {
    auto const abstract = parseNotifySocket("@tarn");
    ASSERT_TRUE(abstract);
    // A path's length counts the zero that ends it; an abstract name has none behind it.
    EXPECT_EQ(std::string(abstract->address.sun_path, 5), std::string("\0tarn", 5));
    EXPECT_EQ(abstract->length, offsetof(sockaddr_un, sun_path) + 5);
    EXPECT_EQ(parseNotifySocket("/run/systemd/notify").value().length,
              offsetof(sockaddr_un, sun_path) + 20);
    std::size_t const room = sizeof(sockaddr_un::sun_path);
    EXPECT_TRUE(parseNotifySocket("/" + std::string(room - 2, 'x')));
    EXPECT_TRUE(parseNotifySocket("@" + std::string(room - 1, 'x')));
    for (std::string const& bad :
         {std::string(), std::string("@"), std::string("run/notify"),
          "/" + std::string(room - 1, 'x'), "@" + std::string(room, 'x')}) {
        EXPECT_FALSE(parseNotifySocket(bad)) << bad;
    }
}

// Taken out of the environment, so that the commands the daemon runs cannot notify for it.
TEST(NotifySocket, AdoptedAtStartAndFailuresAreValues) {
    ::setenv("NOTIFY_SOCKET", "/nonexistent/notify", 1);
    ServiceNotifier const missing = ServiceNotifier::adopt();
    EXPECT_EQ(std::getenv("NOTIFY_SOCKET"), nullptr);
    {
        ServiceNotifierInUse const inUse(missing);
        EXPECT_EQ(notifyServiceManager("READY=1\n"), std::errc::no_such_file_or_directory);
    }
    ::setenv("NOTIFY_SOCKET", "relative", 1);
    EXPECT_EQ(ServiceNotifier::adopt().send("READY=1\n"), std::errc::invalid_argument);
    ServiceNotifier const outsideSystemd = ServiceNotifier::adopt();
    ServiceNotifierInUse const inUse(outsideSystemd);
    EXPECT_FALSE(notifySocketAdopted());
    EXPECT_FALSE(notifyServiceManager("READY=1\n"));
}

}  // namespace
