#include "service/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

// A writable argv, as getopt permutes it.
class Argv {
  public:
    Argv(std::initializer_list<char const*> arguments) {
        storage_.emplace_back("Tarn_reply");
        for (char const* argument : arguments) {
            storage_.emplace_back(argument);
        }
        for (std::string& argument : storage_) {
            pointers_.push_back(argument.data());
        }
        pointers_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(storage_.size()); }
    char** argv() { return pointers_.data(); }

  private:
    std::vector<std::string> storage_;
    std::vector<char*> pointers_;
};

CommandLine parse(std::initializer_list<char const*> arguments) {
    Argv argv(arguments);
    testing::internal::CaptureStderr();
    CommandLine result = parseCommandLine(argv.argc(), argv.argv());
    testing::internal::GetCapturedStderr();
    return result;
}

TEST(CommandLine, FirstDecidingOptionWins) {
    EXPECT_EQ(parse({"-h", "-x"}).action, CommandLineAction::ShowHelp);
    EXPECT_EQ(parse({"-x", "-h"}).action, CommandLineAction::BadOption);
    EXPECT_EQ(parse({"-v", "-h"}).action, CommandLineAction::ShowHelp);
    EXPECT_EQ(parse({"eth1", "-h", "-x"}).action, CommandLineAction::ShowHelp);
    EXPECT_EQ(parse({"eth1", "--version", "-h"}).action, CommandLineAction::ShowVersion);
    EXPECT_EQ(parse({"-h", "--version"}).action, CommandLineAction::ShowHelp);
    EXPECT_EQ(parse({"--version=1"}).action, CommandLineAction::BadOption);

    CommandLine const verboseThenBad = parse({"-v", "-x"});
    EXPECT_EQ(verboseThenBad.action, CommandLineAction::BadOption);
    EXPECT_TRUE(verboseThenBad.verbose);
}

TEST(CommandLine, LastOperandNamesTheInterface) {
    CommandLine const defaults = parse({});
    EXPECT_EQ(defaults.action, CommandLineAction::Serve);
    EXPECT_FALSE(defaults.verbose);
    EXPECT_EQ(defaults.interfaceName, "eth0");

    EXPECT_EQ(parse({"eth1", "eth2"}).interfaceName, "eth2");
    EXPECT_EQ(parse({"nosuch", "-v", "eth0"}).interfaceName, "eth0");

    CommandLine const verboseAfterOperand = parse({"eth1", "-v"});
    EXPECT_EQ(verboseAfterOperand.action, CommandLineAction::Serve);
    EXPECT_TRUE(verboseAfterOperand.verbose);
    EXPECT_EQ(verboseAfterOperand.interfaceName, "eth1");

    // Behind "--" an option-looking word is an operand.
    EXPECT_EQ(parse({"--", "-x"}).interfaceName, "-x");
}

TEST(CommandLine, UnknownOptionIsReportedByGetopt) {
    Argv argv({"-q"});
    testing::internal::CaptureStderr();
    CommandLine const result = parseCommandLine(argv.argc(), argv.argv());
    std::string const reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result.action, CommandLineAction::BadOption);
    EXPECT_NE(reported.find("invalid option -- 'q'"), std::string::npos) << reported;
}

}  // namespace
