#include "maintenance/BookOptimization.h"

#include <cerrno>
#include <cstring>

#include "book/ChainWalk.h"
#include "maintenance/BookExchange.h"
#include "maintenance/OptimizeSettings.h"

namespace plinth {
namespace {

// The fit checks estimate the new book's records against this bound, below the
// writer's own limit.
constexpr int64_t kFitBound = 65436;

// Gives up on a conversion before the exchange: the new file goes, the book stays.
void AbandonConversion(OpenBookState& book) {
    book.FreeOutputChains();
    book.CloseOutputBook();
    if (const int error = book.Files().Remove(book.OutputPath()); error != 0 && error != ENOENT) {
        book.PrintLog("**Error** Can not remove the incomplete new book [%s]: %s\n",
                      book.OutputPath().c_str(), std::strerror(error));
    }
    book.PrintLog("Conversion stopped, the book was not changed\n");
}

// Writes the new book out and flushes it; false when it is no complete book.
bool WriteAndFlush(OpenBookState& book) {
    const OpenBookState::WriteOutcome written = book.WriteOutputBook();
    book.FreeOutputChains();
    if (written != OpenBookState::WriteOutcome::Complete) {
        return false;
    }
    if (const int error = book.SyncOutputBook(); error != 0) {
        book.PrintLog("**Error** Can not flush the new book to disk [%s]: %s\n",
                      book.OutputPath().c_str(), std::strerror(error));
        return false;
    }
    book.CloseOutputBook();
    return true;
}

// The conversion itself, from the creation of the new book on. Raises the fatal
// error; `exchangeStarted` tells the caller whether the files have been touched.
OptimizeOutcome Convert(OpenBookState& book, const OptimizeRequest& request,
                        bool& exchangeStarted) {
    book.CreateOutputBook();
    book.PrintLog("Converting....");
    if (!CopyChains(book) || !WriteAndFlush(book)) {
        AbandonConversion(book);
        return OptimizeOutcome::NotChanged;
    }

    if (request.outputPath) {
        book.Files().SyncDirectory(FolderOf(book.OutputPath()));
        book.PrintLog("Conversion completed\n");
        book.PrintLog("The converted book was written here:\n%s\n", book.OutputPath().c_str());
        return OptimizeOutcome::Converted;
    }

    book.CloseInputBook();
    const ExchangePaths paths{book.InputPath(), book.OutputPath(),
                              book.InputPath() + kBackupSuffix};
    exchangeStarted = true;
    if (!ExchangeBookFiles(book.Files(), book.Console(), paths)) {
        // Show whatever book is at the book's path again.
        if (book.Files().Exists(paths.book)) {
            book.OpenInputBook();
        }
        return OptimizeOutcome::ExchangeFailed;
    }
    book.OpenInputBook();
    book.PrintLog("Conversion completed\n");
    book.PrintLog("A backup copy of the original file can be found here:\r\n%s\n",
                  paths.backup.c_str());
    return OptimizeOutcome::Converted;
}

}  // namespace

std::optional<std::string> CheckNewGeometry(const BookHeader& input, int newRecordSize,
                                            int newHashIndexSize) {
    const int64_t oldRecordSize = input.recordSize;
    const int64_t records = input.recordCount;
    if (newRecordSize < oldRecordSize) {
        if (oldRecordSize / newRecordSize * records > kFitBound) {
            return "**Error** New Recordsize to small to fit in destination book. Try increasing "
                   "the record size";
        }
    } else if (newRecordSize == oldRecordSize && newHashIndexSize > input.hashIndexSize) {
        const int64_t oldIndexRecords = HashIndexRecords(input.recordSize, input.hashIndexSize);
        const int64_t newIndexRecords = HashIndexRecords(static_cast<uint32_t>(newRecordSize),
                                                         static_cast<uint32_t>(newHashIndexSize));
        if (records - oldIndexRecords + newIndexRecords >= kFitBound) {
            return "**Error** New HashIndex to big to fit in destination book. Try increasing the "
                   "record size";
        }
    }
    return std::nullopt;
}

bool CopyChains(OpenBookState& book) {
    const uint32_t recordCount = book.InputHeader().recordCount;
    const uint32_t slots = book.InputHeader().hashIndexSize;
    ChainWalker walker(book);
    uint32_t visited = 0;
    for (uint32_t slot = 0; slot < slots; ++slot) {
        const uint16_t first = book.HashIndexSlot(slot);
        if (!IsValidLink(first, recordCount)) {
            ReportInvalidSlot(book, slot, first);
            continue;
        }
        if (first == 0) {
            continue;
        }
        const ChainEnd end = walker.Walk(
            first,
            [&](uint16_t record) {
                const OpenBookState::PlaceResult placed = book.AddRecordPositions();
                if (placed.outcome == OpenBookState::PlaceOutcome::EntryTooLong) {
                    const int recordSize = book.NewRecordSize();
                    book.PrintLog(
                        "**Error** A position of record #%d takes %d bytes, more than a record "
                        "of %d bytes holds. Choose a larger record size\n",
                        int{record}, static_cast<int>(placed.entrySize), recordSize);
                    return false;
                }
                return true;
            },
            [&]() {
                ++visited;
                const uint32_t percent = visited * 50 / recordCount;
                if (percent % 10 == 0) {
                    book.Console().SetProgress(static_cast<int>(percent));
                }
            });
        if (end == ChainEnd::Stopped) {
            return false;
        }
        ReportBrokenChain(book, slot, end, walker);
    }
    return true;
}

OptimizeResult OnOptimize(OpenBookState& book, const OptimizeRequest& request) {
    OptimizeResult result;
    if (!book.IsInputOpen()) {
        return result;
    }
    IConsole& console = book.Console();
    console.ClearConsole();
    book.SetNewGeometry(request.recordSize, request.hashIndexSize);
    book.SetOutputPath(request.outputPath.value_or(book.InputPath() + kNewBookSuffix));
    if (!IsOfferedSize(kRecordSizeTable, request.recordSize) ||
        !IsOfferedSize(kHashIndexSizeTable, request.hashIndexSize)) {
        result.outcome = OptimizeOutcome::Refused;
        result.refusal =
            "**Error** The record size and the hash index size must be sizes offered "
            "by the optimize settings";
        return result;
    }
    if (auto refusal =
            CheckNewGeometry(book.InputHeader(), request.recordSize, request.hashIndexSize)) {
        result.outcome = OptimizeOutcome::Refused;
        result.refusal = std::move(*refusal);
        return result;
    }

    console.ShowProgress();
    bool exchangeStarted = false;
    try {
        result.outcome = Convert(book, request, exchangeStarted);
    } catch (const BookFatalError&) {
        book.CloseOutputBook();
        book.FreeOutputChains();
        if (!exchangeStarted && book.OutputCreated()) {
            // An incomplete new book is of no use to anyone.
            book.Files().Remove(book.OutputPath());
        }
        result.outcome = OptimizeOutcome::FatalError;
    }
    console.HideProgress();
    return result;
}

bool RestoreBookAfterCutOffConversion(IFileSystem& files, IConsole& console,
                                      const std::string& path) {
    return RestoreInterruptedExchange(files, console,
                                      {path, path + kNewBookSuffix, path + kBackupSuffix});
}

}  // namespace plinth
