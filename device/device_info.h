// Model name and serial number of the device, read once at start.
#pragma once

#include <string>

// Overwrites both strings: defaults, then the hardware-type table, then the SNMP system name
// and the library's serial number, each when it can be read.
void GetDeviceInfo(std::string& modelName, std::string& serialNumber);
// Replaces the name with the local SNMP agent's sysName.0 when the query yields a line.
void SNMP_getSysName(std::string& name);
// Throws std::runtime_error carrying the library's last error text when result is false.
void testResult(bool result);
