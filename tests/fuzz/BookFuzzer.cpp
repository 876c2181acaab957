// libFuzzer target: arbitrary bytes as a book file, opened, listed, analysed and
// converted twice, each step checked against an independent reading.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzChecks.h"

namespace {

// One folder per fuzzing process, on a memory file system where there is one.
class WorkFolder {
  public:
    WorkFolder() {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "plinth-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("plinth book fuzzer: mkdtemp");
            std::abort();
        }
        m_path = pattern;
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const WorkFolder folder;
    const auto problems = plinth::fuzz::CheckBookInput({data, size}, folder.Path());
    if (!problems.empty()) {
        for (const std::string& problem : problems) {
            std::fprintf(stderr, "plinth book fuzzer: %s\n", problem.c_str());
        }
        std::abort();
    }
    return 0;
}
