// Tarn_reply: answers GVCP discovery and force-IP commands for one network interface.
#include <netinet/in.h>
#include <sys/socket.h>

#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "base/process_state.h"
#include "base/service_notify.h"
#include "base/shell_command.h"
#include "base/watchdog.h"
#include "gvcp/discovery_ack.h"
#include "gvcp/gvcp_header.h"
#include "net/linux_socket_manager.h"
#include "net/setup_socket.h"
#include "netconfig/config_checks.h"
#include "netconfig/ifupdown_interface.h"
#include "service/command_line.h"
#include "service/discovery_record.h"
#include "service/instance_lock.h"
#include "service/journal_priority.h"
#include "service/responder.h"
#include "service/serving_status.h"
#include "service/startup_check.h"
#include "service/stop_signal.h"

namespace {

sockaddr_in listeningAddress() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(QEL_Finder::kGvcpPort);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return address;
}

}  // namespace

int main(int argc, char** argv) {
    JournalErrorMarker const errorMarker;
    ServiceNotifier const notifier = ServiceNotifier::adopt();
    ServiceNotifierInUse const notifierInUse(notifier);
    Watchdog watchdog = Watchdog::adopt(notifier);
    WatchdogFedDuringCommands const fedDuringCommands(watchdog);
    CommandLine const commandLine = parseCommandLine(argc, argv);
    Verbose = commandLine.verbose;
    if (commandLine.action == CommandLineAction::ShowVersion) {
        writeVersion(std::cout);
        return 0;
    }
    if (commandLine.action != CommandLineAction::Serve) {
        writeUsage(std::cout);
        return commandLine.action == CommandLineAction::ShowHelp ? 0 : 1;
    }

    std::string interfaceName = commandLine.interfaceName;
    if (Verbose) {
        std::cout << "Using interface " << interfaceName << std::endl;
    }
    // The name goes into ifreq and into "ifup"/"ifdown" shell command lines.
    if (!isSafeInterfaceName(interfaceName)) {
        std::cerr << "Invalid interface name: " << interfaceName << std::endl;
        return 1;
    }
    if (!takeInstanceLock()) {
        return 1;
    }
    if (int const status = checkInterfaceUp(interfaceName); status != 0) {
        return status;
    }

    std::unique_ptr<QEL_Finder::SocketManager> manager =
        std::make_unique<QEL_Finder::LinuxSocketManager>();
    installStopHandlers();
    int listeningHandle = manager->getSocketUDP();
    sockaddr_in address = listeningAddress();
    if (!setupSocket(listeningHandle, reinterpret_cast<sockaddr*>(&address), manager.get())) {
        return 2;
    }

    QEL_Finder::DiscoveryAck record{};
    prepareDiscoveryAck(record, interfaceName);
    QEL_Finder::reportServing(interfaceName, record);
    Responder responder(std::move(manager),
                        std::make_unique<QEL_Finder::IfupdownInterface>(interfaceName), record,
                        interfaceName);
    if (int const status = responder.serve(listeningHandle, watchdog); status != 0) {
        return status;
    }
    QEL_Finder::reportStopping();
    responder.sockets().closeSocket(listeningHandle);
    return 0;
}
