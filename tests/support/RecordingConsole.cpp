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

std::vector<std::string> RecordingConsole::Fields() const {
    std::vector<std::string> fields;
    for (const auto& row : rows) {
        fields.push_back(row.first);
    }
    return fields;
}

}  // namespace plinth::test
