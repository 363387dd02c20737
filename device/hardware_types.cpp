#include "device/hardware_types.h"

#include <algorithm>
#include <array>

using QEL_Finder::HardwareTypeRow;

namespace {

constexpr std::array<HardwareTypeRow, 15> kRows{{
    {QEL::eHardwarePellamRt, "Pellam RT", "PLRT00000inval"},
    {QEL::eHardwarePellamRt3, "Pellam RT3", "PLRT00001inval"},
    {QEL::eHardwarePellamRt4, "Pellam RT4", "PLRT00002inval"},
    {QEL::eHardwareCorvelKj, "Corvel KJ", "CRKJ00000inval"},
    {QEL::eHardwareCorvelKj2, "Corvel KJ2", "CRKJ00001inval"},
    {QEL::eHardwareDravikXaDurn, "Dravik XA DURN", "XDRN00000inval"},
    {QEL::eHardwareDravikQuendry, "Dravik Quendry", "QNDY00000inval"},
    {QEL::eHardwareDravikHl, "Dravik HL", "DRHL00000inval"},
    {QEL::eHardwareDravikHlLumen, "Dravik HL Lumen", "DRHL00001inval"},
    {QEL::eHardwareDravikObrK1, "Dravik OBR-K1", "OBRK00000inval"},
    {QEL::eHardwareDravikObrK2, "Dravik OBR-K2", "OBRK00001inval"},
    {QEL::eHardwareDravikObrK3, "Dravik OBR-K3", "OBRK00002inval"},
    {QEL::eHardwareDravikObrK4, "Dravik OBR-K4", "OBRK00003inval"},
    {QEL::eHardwareDravikObrK5, "Dravik OBR-K5", "OBRK00004inval"},
    {QEL::eHardwareDravikObrK6, "Dravik OBR-K6", "OBRK00005inval"},
}};

}  // namespace

std::span<const HardwareTypeRow> hardwareTypeTable() {
    return kRows;
}

const HardwareTypeRow* findHardwareType(QEL::eHardwareType hardwareType) {
    const auto row = std::find_if(kRows.begin(), kRows.end(), [&](const HardwareTypeRow& r) {
        return r.hardwareType == hardwareType;
    });
    return row == kRows.end() ? nullptr : &*row;
}
