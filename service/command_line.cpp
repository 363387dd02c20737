#include "service/command_line.h"

#include <unistd.h>

namespace {

constexpr char kUsage[] =
    "Usage: Tarn_reply [options] [interface]\n"
    "The default network inteface is eth0.\n"
    "Options:\n"
    "\t-h : Show help\n"
    "\t-v : Enable verbose output\n";

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine result;
    // 0 rather than 1 makes glibc's getopt forget the state of an earlier scan.
    optind = 0;
    opterr = 1;
    int option = 0;
    while ((option = getopt(argc, argv, "hv")) != -1) {
        switch (option) {
            case 'h':
                result.action = CommandLineAction::ShowHelp;
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
