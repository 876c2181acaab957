// libFuzzer target: the record check and the entry walk on single records,
// against an independent record check and the rules of an entry.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto problems = plinth::fuzz::CheckRecordInput({data, size});
    if (!problems.empty()) {
        for (const std::string& problem : problems) {
            std::fprintf(stderr, "plinth record fuzzer: %s\n", problem.c_str());
        }
        std::abort();
    }
    return 0;
}
