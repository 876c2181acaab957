// libFuzzer target: arbitrary bytes as a book file, opened, listed, analysed and
// converted twice, each step checked against an independent reading. Set TMPDIR
// to a memory file system (/dev/shm) for speed.

#include <cstdio>
#include <cstdlib>

#include "FuzzChecks.h"
#include "TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const plinth::test::TempDir folder;
    const auto problems = plinth::fuzz::CheckBookInput({data, size}, folder.Path());
    for (const std::string& problem : problems) {
        std::fprintf(stderr, "plinth book fuzzer: %s\n", problem.c_str());
    }
    if (!problems.empty()) {
        std::abort();
    }
    return 0;
}
