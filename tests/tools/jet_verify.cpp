// jet_verify: command-line front end of the test-side Jet 4 helpers.
//   jet_verify FILE...               consistency findings, then a summary per file
//   jet_verify --describe FILE       structural summary ("key = value" lines)
//   jet_verify --diff FILE_A FILE_B  fields that differ between two summaries
// Exit status: 0 when no file has errors (or no differences), 1 otherwise, 2 on usage.
#include <cstdio>
#include <cstring>
#include <string>

#include "support/jet_describe.h"
#include "support/jet_verifier.h"

int main(int argc, char** argv) {
    using namespace tessaly::test;
    if (argc == 3 && std::strcmp(argv[1], "--describe") == 0) {
        std::fputs(describe_jet4(argv[2]).to_string().c_str(), stdout);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--diff") == 0) {
        auto diffs = diff_descriptions(describe_jet4(argv[2]), describe_jet4(argv[3]));
        for (const auto& d : diffs)
            std::printf("%s\n", d.to_string().c_str());
        return diffs.empty() ? 0 : 1;
    }
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s FILE... | --describe FILE | --diff FILE_A FILE_B\n",
                     argv[0]);
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        auto report = verify_jet4(argv[i]);
        std::fputs(report.to_string().c_str(), stdout);
        std::printf("%s: %zu errors, %zu warnings\n", argv[i], report.error_count(),
                    report.warning_count());
        if (report.error_count()) status = 1;
    }
    return status;
}
