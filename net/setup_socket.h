// Preparation of a port-3956 socket: the listening one and every reply socket.
#pragma once

#include "net/socket_manager.h"

struct sockaddr;

// Creates the socket when handle is -1 (writing the new handle back), enables SO_BROADCAST and
// SO_REUSEADDR and binds it. False after the cause is reported on standard error.
bool setupSocket(int& handle, sockaddr* address, QEL_Finder::SocketManager* manager);
