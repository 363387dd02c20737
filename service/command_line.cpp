#include "service/command_line.h"

#include <getopt.h>

#include "base/version.h"

namespace {

constexpr char kUsage[] =
    "Usage: Tarn_reply [options] [interface]\n"
    "The default network inteface is eth0.\n"
    "Options:\n"
    "\t-h : Show help\n"
    "\t-v : Enable verbose output\n";

// getopt_long's value for --version, outside the short options' letters.
constexpr int kVersionOption = 256;

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine result;
    // 0 rather than 1 makes glibc's getopt forget the state of an earlier scan.
    optind = 0;
    opterr = 1;
    option const longOptions[] = {{"version", no_argument, nullptr, kVersionOption},
                                  {nullptr, 0, nullptr, 0}};
    int given = 0;
    while ((given = getopt_long(argc, argv, "hv", longOptions, nullptr)) != -1) {
        switch (given) {
            case 'h':
                result.action = CommandLineAction::ShowHelp;
                return result;
            case kVersionOption:
                result.action = CommandLineAction::ShowVersion;
                return result;
            case 'v':
                result.verbose = true;
                break;
            default:
                result.action = CommandLineAction::BadOption;
                return result;
        }
    }
    // getopt has moved every operand behind the options, so the last argument is the last operand.
    if (optind < argc) {
        result.interfaceName = argv[argc - 1];
    }
    return result;
}

void writeUsage(std::ostream& out) {
    out << kUsage << std::endl;
}

void writeVersion(std::ostream& out) {
    out << "Tarn_reply " << projectVersion() << std::endl;
}
