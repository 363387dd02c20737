#include "device/device_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/temp_dir.h"
#include "base/text_file.h"
#include "device/qel_sim_test_env.h"

namespace {

namespace fs = std::filesystem;

struct DeviceIdentity {
    std::string modelName;
    std::string serialNumber;
    std::string errors;  // what reached standard error
};

// Runs GetDeviceInfo against the stand-in library with fake systemctl and snmpget first on PATH.
// Each fake logs its arguments, one call per line as "[arg][arg]...". The fake systemctl reports
// the update unit failed (exit 0) when unit-failed exists, not failed (exit 1) otherwise; the fake
// snmpget prints snmp-reply when it exists and nothing otherwise, as with no agent.
class DeviceInfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clearQelSimEnvironment();
        writeFake("systemctl", "[ -e \"$D/unit-failed\" ] && exit 0\nexit 1\n");
        writeFake("snmpget", "[ -e \"$D/snmp-reply\" ] && cat \"$D/snmp-reply\"\nexit 0\n");
        const char* path = std::getenv("PATH");
        savedPath_ = path == nullptr ? "/usr/bin:/bin" : path;
        ::setenv("PATH", (dir_.path().string() + ":" + savedPath_).c_str(), 1);
    }

    void TearDown() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        clearQelSimEnvironment();
    }

    void writeFake(const std::string& name, const std::string& behaviour) {
        const fs::path file = dir_.path() / name;
        std::ofstream out(file);
        out << "#!/bin/sh\nD='" << dir_.path().string() << "'\n"
            << "for a in \"$@\"; do printf '[%s]' \"$a\"; done >> \"$D/" << name << ".calls\"\n"
            << "echo >> \"$D/" << name << ".calls\"\n"
            << behaviour;
        out.close();
        ASSERT_TRUE(out) << file;
        ASSERT_EQ(::chmod(file.c_str(), 0755), 0) << file;
    }

    void agentAnswers(const std::string& output) const {
        writeText(dir_.path() / "snmp-reply", output);
    }
    void updateUnitFailed() const { writeText(dir_.path() / "unit-failed", "\n"); }

    // The logged calls of a fake; empty when it never ran.
    std::string calls(const std::string& name) const {
        return readText(dir_.path() / (name + ".calls"));
    }

    // The hardware type and serial number the stand-in library gives.
    static void libraryReports(char const* hardwareType, char const* serialNumber) {
        ::setenv("QEL_SIM_HARDWARE_TYPE", hardwareType, 1);
        ::setenv("QEL_SIM_SERIAL_NUMBER", serialNumber, 1);
    }

    static DeviceIdentity readIdentity() {
        DeviceIdentity identity;
        ::testing::internal::CaptureStderr();
        GetDeviceInfo(identity.modelName, identity.serialNumber);
        identity.errors = ::testing::internal::GetCapturedStderr();
        return identity;
    }

    TempDir dir_;
    std::string savedPath_;
};

TEST_F(DeviceInfoTest, AgentNameAndLibrarySerialOutrankTheTable) {
    libraryReports("24", "A1234567");
    agentAnswers("\"lab-cam-1\"\n");

    const DeviceIdentity identity = readIdentity();
    EXPECT_EQ(identity.modelName, "lab-cam-1");
    EXPECT_EQ(identity.serialNumber, "A1234567");
    EXPECT_EQ(identity.errors, "");
}

TEST_F(DeviceInfoTest, QueriesTheLocalAgentWithTheFixedCommandLines) {
    agentAnswers("lab-cam-1\n");
    readIdentity();
    EXPECT_EQ(calls("systemctl"), "[--quiet][is-failed][telvo-snmpd-update]\n");
    EXPECT_EQ(calls("snmpget"), "[-Oqv][-c][tulmar][-v][1][localhost][1.3.6.1.2.1.1.5.0]\n");
}

TEST_F(DeviceInfoTest, WithoutAnAgentTheTableNamesTheModel) {
    libraryReports("24", "A1234567");
    DeviceIdentity identity = readIdentity();
    EXPECT_EQ(identity.modelName, "Dravik HL Lumen");
    EXPECT_EQ(identity.serialNumber, "A1234567");
    EXPECT_NE(calls("snmpget"), "") << "the agent was asked and gave nothing";

    // Type 0 is a table row, not "no type"; an empty library serial leaves the row's default.
    libraryReports("0", "");
    identity = readIdentity();
    EXPECT_EQ(identity.modelName, "Dravik OBR-K1");
    EXPECT_EQ(identity.serialNumber, "OBRK00000inval");
    EXPECT_EQ(identity.errors, "");
}

TEST_F(DeviceInfoTest, TypeOutsideTheTableKeepsTheDefaults) {
    libraryReports("3", "X1");
    DeviceIdentity identity = readIdentity();
    EXPECT_EQ(identity.modelName, "Unknown");
    EXPECT_EQ(identity.serialNumber, "X1");

    ::setenv("QEL_SIM_SERIAL_NUMBER", "", 1);
    agentAnswers("lab-cam-1");
    identity = readIdentity();
    EXPECT_EQ(identity.modelName, "lab-cam-1");
    EXPECT_EQ(identity.serialNumber, "invalid");
}

TEST_F(DeviceInfoTest, SerialFailureFallsBackToTheTableDefault) {
    ::setenv("QEL_SIM_HARDWARE_TYPE", "14", 1);
    ::setenv("QEL_SIM_ERROR_TEXT", "sensor board not answering", 1);
    for (const char* failingCall : {"serial", "open"}) {
        ::setenv("QEL_SIM_FAIL", failingCall, 1);
        const DeviceIdentity identity = readIdentity();
        EXPECT_EQ(identity.modelName, "Pellam RT") << failingCall;
        EXPECT_EQ(identity.serialNumber, "PLRT00000inval") << failingCall;
        EXPECT_EQ(identity.errors, "Error reading the serial number:\nsensor board not answering\n")
            << failingCall;
    }

    agentAnswers("lab-cam-1");
    EXPECT_EQ(readIdentity().modelName, "lab-cam-1");
}

// Also run under LeakSanitizer: the system object must be released when GetHardwareType fails.
TEST_F(DeviceInfoTest, HardwareTypeFailureStopsEverythingElse) {
    agentAnswers("lab-cam-1");
    ::setenv("QEL_SIM_SERIAL_NUMBER", "A1234567", 1);
    for (const char* failingCall : {"create", "hardware-type"}) {
        ::setenv("QEL_SIM_FAIL", failingCall, 1);
        ::setenv("QEL_SIM_ERROR_TEXT", failingCall, 1);
        const DeviceIdentity identity = readIdentity();
        EXPECT_EQ(identity.modelName, "Unknown") << failingCall;
        EXPECT_EQ(identity.serialNumber, "invalid") << failingCall;
        EXPECT_EQ(identity.errors,
                  std::string("Error reading the hardware type:\n") + failingCall + "\n");
    }

    ::unsetenv("QEL_SIM_FAIL");
    ::setenv("QEL_SIM_HARDWARE_TYPE", "twenty-four", 1);
    const DeviceIdentity identity = readIdentity();
    EXPECT_EQ(identity.modelName, "Unknown");
    EXPECT_EQ(identity.errors,
              "Error reading the hardware type:\n"
              "QEL: QEL_SIM_HARDWARE_TYPE is not a decimal 32-bit number: twenty-four\n");

    EXPECT_EQ(calls("systemctl"), "");
    EXPECT_EQ(calls("snmpget"), "");
}

TEST_F(DeviceInfoTest, FailedUpdateUnitMeansNoQuery) {
    ::setenv("QEL_SIM_HARDWARE_TYPE", "19", 1);
    agentAnswers("lab-cam-1");
    updateUnitFailed();
    EXPECT_EQ(readIdentity().modelName, "Dravik HL");
    EXPECT_NE(calls("systemctl"), "");
    EXPECT_EQ(calls("snmpget"), "");
}

TEST_F(DeviceInfoTest, AgentValueArrivesAsOneCleanLine) {
    agentAnswers("\"lab\"-cam\n-1\"\n");
    EXPECT_EQ(readIdentity().modelName, "lab-cam-1");

    const std::string forty = "camera-line-7-station-12-left-side-upper";
    ASSERT_EQ(forty.size(), 40U);
    agentAnswers("\"" + forty + "\"\n");
    EXPECT_EQ(readIdentity().modelName, forty);

    // One fgets into 1024 bytes: a longer value is cut, not read past the buffer.
    agentAnswers(std::string(1500, 'n'));
    EXPECT_EQ(readIdentity().modelName, std::string(1023, 'n'));
}

}  // namespace
