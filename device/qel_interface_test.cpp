#include <QELInterface.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

#include "device/qel_sim_test_env.h"

namespace {

class QelStandInTest : public ::testing::Test {
  protected:
    void SetUp() override { clearQelSimEnvironment(); }
    void TearDown() override { clearQelSimEnvironment(); }

    static std::string lastError() {
        std::array<char, 512> text{};
        QEL::QELSystem::GetLastErrorString(text[0], text.size());
        return text.data();
    }

    // The reported hardware type; -1 when CreateInstance fails, -2 when GetHardwareType does.
    static long long hardwareTypeOrFailure() {
        QEL::QELSystem* system = nullptr;
        if (!QEL::QELSystem::CreateInstance(&system, QEL::eSystemLocal, 0)) {
            EXPECT_EQ(system, nullptr);
            return -1;
        }
        QEL::eHardwareType type{};
        const bool read = system->GetHardwareType(type);
        QEL::QELSystem::DeleteInstance(system);
        return read ? static_cast<long long>(type) : -2;
    }
};

TEST_F(QelStandInTest, DefaultsSimulateALumenWithAFixedSerial) {
    EXPECT_EQ(hardwareTypeOrFailure(), 24);

    QEL::Service service;
    ASSERT_TRUE(service.Open(0));
    std::array<char, QEL::Service::kSerialNumberCapacity> serial{};
    ASSERT_TRUE(service.GetSerialNumber(serial.data()));
    EXPECT_STREQ(serial.data(), "TLV0000001");

    QEL::eDeviceType type{};
    EXPECT_TRUE(service.GetType(type));
    EXPECT_EQ(type, 7U);
}

TEST_F(QelStandInTest, HardwareTypeMustBeAnUnsignedDecimal32BitNumber) {
    for (const auto& [text, expected] :
         {std::pair{"0", 0LL}, {"3", 3LL}, {"007", 7LL}, {"4294967295", 4294967295LL}}) {
        ::setenv("QEL_SIM_HARDWARE_TYPE", text, 1);
        EXPECT_EQ(hardwareTypeOrFailure(), expected) << text;
    }
    for (const char* text : {"", "abc", "12x", "-1", "+5", " 5", "4294967296"}) {
        ::setenv("QEL_SIM_HARDWARE_TYPE", text, 1);
        EXPECT_EQ(hardwareTypeOrFailure(), -1) << text;
        EXPECT_EQ(
            lastError(),
            std::string("QEL: QEL_SIM_HARDWARE_TYPE is not a decimal 32-bit number: ") + text);
    }
}

TEST_F(QelStandInTest, EachNamedCallFailsWithItsOwnText) {
    ::setenv("QEL_SIM_FAIL", "create", 1);
    EXPECT_EQ(hardwareTypeOrFailure(), -1);
    EXPECT_EQ(lastError(), "QEL: simulated failure of CreateInstance");

    ::setenv("QEL_SIM_FAIL", "hardware-type", 1);
    EXPECT_EQ(hardwareTypeOrFailure(), -2);
    EXPECT_EQ(lastError(), "QEL: simulated failure of GetHardwareType");

    ::setenv("QEL_SIM_FAIL", "open", 1);
    {
        QEL::Service service;
        EXPECT_FALSE(service.Open(0));
        EXPECT_EQ(lastError(), "QEL: simulated failure of Open");
    }

    ::setenv("QEL_SIM_FAIL", "serial", 1);
    ::setenv("QEL_SIM_ERROR_TEXT", "sensor board not answering", 1);
    QEL::Service service;
    ASSERT_TRUE(service.Open(0));
    std::array<char, QEL::Service::kSerialNumberCapacity> serial{};
    EXPECT_FALSE(service.GetSerialNumber(serial.data()));
    EXPECT_EQ(lastError(), "sensor board not answering");

    ::setenv("QEL_SIM_FAIL", "everything", 1);
    EXPECT_EQ(hardwareTypeOrFailure(), 24) << "an unknown name fails nothing";
}

TEST_F(QelStandInTest, ErrorTextIsCutToTheGivenSizeAndTerminated) {
    ::setenv("QEL_SIM_FAIL", "create", 1);
    ::setenv("QEL_SIM_ERROR_TEXT", "abcdefgh", 1);
    ASSERT_EQ(hardwareTypeOrFailure(), -1);

    std::array<char, 8> buffer{};
    buffer.fill('x');
    QEL::QELSystem::GetLastErrorString(buffer[0], 5);
    EXPECT_EQ(std::string(buffer.data(), 6), std::string("abcd\0x", 6));

    buffer.fill('x');
    QEL::QELSystem::GetLastErrorString(buffer[0], 1);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');

    buffer.fill('x');
    QEL::QELSystem::GetLastErrorString(buffer[0], 0);
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(QelStandInTest, SerialNumberNeedsAnOpenDeviceAndFitsTheBuffer) {
    std::array<char, QEL::Service::kSerialNumberCapacity + 1> serial{};
    serial.fill('x');
    {
        QEL::Service service;
        EXPECT_FALSE(service.GetSerialNumber(serial.data()));
        EXPECT_FALSE(service.Open(1));
        EXPECT_FALSE(service.GetSerialNumber(serial.data()));
    }

    ::setenv("QEL_SIM_SERIAL_NUMBER", std::string(600, 'S').c_str(), 1);
    {
        QEL::Service service;
        ASSERT_TRUE(service.Open(0));
        ASSERT_TRUE(service.GetSerialNumber(serial.data()));
        EXPECT_EQ(std::string(serial.data()), std::string(511, 'S'));
        EXPECT_EQ(serial[512], 'x');
    }

    ::setenv("QEL_SIM_SERIAL_NUMBER", "", 1);
    QEL::Service service;
    ASSERT_TRUE(service.Open(0));
    ASSERT_TRUE(service.GetSerialNumber(serial.data()));
    EXPECT_EQ(serial[0], '\0');
}

}  // namespace
