#include "RecordingConsole.h"

#include <stdexcept>

namespace plinth::test {

std::string Row(const BookReader& book, std::string_view field) {
    for (const AttributeRow& row : AttributeRows(book)) {
        if (row.field == field) {
            return row.value;
        }
    }
    throw std::out_of_range("no attribute row " + std::string(field));
}

}  // namespace plinth::test
