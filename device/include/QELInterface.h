// The calls of the maker's device-interface library libQELInterface.so.1 that this daemon makes,
// as our stand-in (device/qel_*.cpp) declares them; it simulates one device from the environment
// so the daemon runs and is tested without hardware. A build against the maker's library takes
// the maker's QELInterface.h instead (TARN_VENDOR_QEL_INCLUDE_DIR): the daemon places these
// objects on its stack, so their size and layout must be the library's own.
//
// Stand-in environment, read when the object concerned is created
// (CreateInstance for the system object, the constructor or Open for a Service):
//   QEL_SIM_HARDWARE_TYPE  hardware type, an unsigned decimal 32-bit number; default 24
//                          ("Dravik HL Lumen"). Anything else makes CreateInstance fail with
//                          "QEL: QEL_SIM_HARDWARE_TYPE is not a decimal 32-bit number: <value>".
//   QEL_SIM_SERIAL_NUMBER  serial number, may be empty (the daemon then keeps its default);
//                          default "TLV0000001"; at most 511 characters are given out.
//   QEL_SIM_FAIL           "create", "hardware-type", "open" or "serial": that call returns
//                          false. Unset or any other value: nothing fails.
//   QEL_SIM_ERROR_TEXT     the text GetLastErrorString gives after a simulated failure;
//                          default "QEL: simulated failure of <call>", e.g. "... of Open".
#pragma once

#include <cstdint>

#define QEL_API __attribute__((visibility("default")))

namespace QEL {

enum eSystemType : std::uint32_t {
    eSystemLocal = 0,
};

enum eHardwareType : std::uint32_t {
    eHardwareDravikObrK1 = 0,
    eHardwareDravikObrK2 = 1,
    eHardwareDravikObrK3 = 4,
    eHardwareDravikObrK4 = 7,
    eHardwareCorvelKj = 8,
    eHardwareDravikXaDurn = 9,
    eHardwareDravikObrK5 = 12,
    eHardwarePellamRt = 14,
    eHardwareDravikQuendry = 16,
    eHardwarePellamRt3 = 17,
    eHardwareDravikHl = 19,
    eHardwareCorvelKj2 = 20,
    eHardwareDravikObrK6 = 21,
    eHardwareDravikHlLumen = 24,
    eHardwarePellamRt4 = 25,
};

enum eDeviceType : std::uint32_t {
    eDeviceService = 7,
};

class QEL_API QELSystem {
  public:
    // Sets *system to a new system object; false (last error set) when none can be created,
    // *system then unchanged. Release the object with DeleteInstance.
    static bool CreateInstance(QELSystem** system, eSystemType type, unsigned int options);
    // Releases an object from CreateInstance; a null pointer is ignored.
    static void DeleteInstance(QELSystem* system);
    // Copies the last error's text into the size bytes starting at buffer, always
    // zero-terminated (nothing is written when size is 0); empty when no call has failed.
    static void GetLastErrorString(char& buffer, unsigned int size);

    // Stores the device's hardware type; false (last error set) when it cannot be read.
    bool GetHardwareType(eHardwareType& type);

    QELSystem(const QELSystem&) = delete;
    QELSystem& operator=(const QELSystem&) = delete;

  private:
    QELSystem(eHardwareType hardwareType, bool failHardwareType);
    ~QELSystem() = default;

    eHardwareType hardwareType_;
    bool failHardwareType_;
};

class QEL_API iDevice {
  public:
    iDevice();
    virtual ~iDevice();
    // Opens the device with the given index (the stand-in has only index 0); false (last
    // error set) when it cannot be opened.
    bool Open(unsigned int index);

    iDevice(const iDevice&) = delete;
    iDevice& operator=(const iDevice&) = delete;

  protected:
    bool isOpen() const { return open_; }

  private:
    bool open_;
};

class QEL_API Service : public iDevice {
  public:
    // Largest serial number GetSerialNumber writes, its terminating zero included.
    static constexpr unsigned int kSerialNumberCapacity = 512;

    Service();
    ~Service() override = default;
    // Stores the type of this device object; never fails.
    virtual bool GetType(eDeviceType& type) const {
        type = eDeviceService;
        return true;
    }

    // Writes the serial number, zero-terminated, into buffer (kSerialNumberCapacity bytes at
    // most); false (last error set) when the device is not open or the number cannot be read.
    bool GetSerialNumber(char* buffer);

  private:
    char serialNumber_[kSerialNumberCapacity];
    bool failSerialNumber_;
};

}  // namespace QEL
