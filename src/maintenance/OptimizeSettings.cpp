// The offered sizes, the selections that show them and the preselection.

#include "maintenance/OptimizeSettings.h"

namespace plinth {

std::vector<int> OfferedSizes(std::span<const int> table) {
    std::vector<int> sizes;
    for (size_t i = 0; i < table.size() && table[i] > 0; ++i) {
        sizes.push_back(table[i]);
    }
    return sizes;
}

int SelectionOfSize(std::span<const int> table, int size, int otherwise) {
    for (size_t i = 0; i < table.size() && table[i] > 0; ++i) {
        if (table[i] == size) {
            return static_cast<int>(i);
        }
    }
    return otherwise;
}

int SizeAtSelection(std::span<const int> table, int selection) {
    return selection < 0 ? -1 : table[static_cast<size_t>(selection)];
}

bool IsOfferedSize(std::span<const int> table, int size) {
    return size > 0 && SelectionOfSize(table, size, -1) >= 0;
}

int PreselectedSize(std::span<const int> table, int size) {
    return SizeAtSelection(table, SelectionOfSize(table, size, 0));
}

std::vector<SizePair> OfferedPairs() {
    std::vector<SizePair> pairs;
    for (const int recordSize : OfferedSizes(kRecordSizeTable)) {
        for (const int hashIndexSize : OfferedSizes(kHashIndexSizeTable)) {
            pairs.push_back({recordSize, hashIndexSize});
        }
    }
    return pairs;
}

SizePair ChosenSizes(std::optional<int> recordSize, std::optional<int> hashIndexSize,
                     const BookHeader& header) {
    return {recordSize.value_or(PreselectedSize(kRecordSizeTable, header.recordSize)),
            hashIndexSize.value_or(PreselectedSize(kHashIndexSizeTable, header.hashIndexSize))};
}

}  // namespace plinth
