#include "book/BookAttributes.h"

#include "book/Console.h"
#include "book/DisplayText.h"

namespace plinth {

std::vector<AttributeRow> AttributeRows(const std::string& path, const BookHeader& h,
                                        const std::optional<std::string>& comment) {
    std::vector<std::string> values = {
        DisplayText(path), KindOf(h.magic) == BookKind::Standard ? "Standard" : "With statistics",
        DisplayText(RevisionText(h))};
    if (comment) {
        values.insert(
            values.end(),
            {DisplayText(*comment), FormatLog("%u", unsigned{h.hashIndexSize}),
             FormatLog("%u", unsigned{h.recordSize}), FormatLog("%u", unsigned{h.recordCount}),
             FormatLog("%d", static_cast<int>(h.totalPositions)),
             FormatLog("%d", static_cast<int>(h.totalMoves)),
             FormatLog("%x", unsigned{h.attributes}),
             // Without slots there is no average to show.
             h.hashIndexSize == 0
                 ? std::string("-")
                 : FormatLog("%1.1f", static_cast<double>(h.recordCount) / h.hashIndexSize)});
    }
    std::vector<AttributeRow> rows;
    for (size_t i = 0; i < values.size(); ++i) {
        rows.push_back({std::string(kAttributeFields[i]), std::move(values[i])});
    }
    return rows;
}

}  // namespace plinth
