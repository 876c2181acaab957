#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plinth::test {

// A fresh folder under the system's temporary folder, removed with all it holds.
class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

// The path of a UTF-8 path string, on every system.
inline std::filesystem::path FsPath(const std::string& path) {
    return {reinterpret_cast<const char8_t*>(path.c_str())};
}

// Makes a FIFO at `path`; false where it cannot, and on Windows, which has none.
bool MakeFifo(const std::string& path);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace plinth::test
