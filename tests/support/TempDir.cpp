#include "TempDir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace plinth::test {

TempDir::TempDir() {
    std::random_device random;
    for (int tries = 0; m_path.empty(); ++tries) {
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("plinth-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path)) {
            m_path = path.string();
        } else if (tries == 100) {
            throw std::runtime_error("cannot create a temporary folder");
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

bool MakeFifo(const std::string& path) {
#ifdef _WIN32
    static_cast<void>(path);
    return false;
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary | std::ios::ate);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    // In one read: the fuzz targets read every book they write.
    std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace plinth::test
