#include "RecordingConsole.h"

#include <stdexcept>

namespace plinth::test {

std::string RecordingConsole::Row(std::string_view field) const {
    for (const auto& [name, value] : rows) {
        if (name == field) {
            return value;
        }
    }
    throw std::out_of_range("no attribute row " + std::string(field));
}

}  // namespace plinth::test
