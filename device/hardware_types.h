// The fixed table that gives each known hardware type a model name and a default serial number.
#pragma once

#include <span>

#include <QELInterface.h>

namespace QEL_Finder {

struct HardwareTypeRow {
    QEL::eHardwareType hardwareType;
    const char* modelName;
    const char* defaultSerialNumber;  // 14 characters, fits the record's serial field
};

}  // namespace QEL_Finder

// All rows, in the order they are searched.
std::span<const QEL_Finder::HardwareTypeRow> hardwareTypeTable();
// The first row for the type; nullptr when the type is not in the table.
const QEL_Finder::HardwareTypeRow* findHardwareType(QEL::eHardwareType hardwareType);
