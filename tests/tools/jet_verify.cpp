// jet_verify: runs the test-side Jet 4 checker on files and prints findings.
//   jet_verify FILE...            one line per finding, then a summary per file
// Exit status: 0 when no file has errors, 1 otherwise.
#include <cstdio>
#include <string>

#include "support/jet_verifier.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        auto report = tessaly::test::verify_jet4(argv[i]);
        std::fputs(report.to_string().c_str(), stdout);
        std::printf("%s: %zu errors, %zu warnings\n", argv[i], report.error_count(),
                    report.warning_count());
        if (report.error_count()) status = 1;
    }
    return status;
}
