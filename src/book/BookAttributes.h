#pragma once

// The attribute list of a book: its header's fields and its comment, row by row,
// as the window lists them and `plinth-cli info` prints them.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "book/BookFormat.h"

namespace plinth {

// One row: a label and its value, both UTF-8.
struct AttributeRow {
    std::string field;
    std::string value;
    bool operator==(const AttributeRow&) const = default;
};

// The labels of the rows, in their order.
inline constexpr std::array<std::string_view, 11> kAttributeFields = {
    "Input book",      "Type",        "Revision",        "Comment",
    "Hash index size", "Record size", "# of records",    "Total positions",
    "Total moves",     "Attributes",  "Avg chain length"};

// The rows of the book at `path` with `header` and the comment text `comment`,
// its bytes as stored. Without the comment (it could not be read), the rows
// before it only.
std::vector<AttributeRow> AttributeRows(const std::string& path, const BookHeader& header,
                                        const std::optional<std::string>& comment);

}  // namespace plinth
