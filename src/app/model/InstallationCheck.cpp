#include "app/model/InstallationCheck.h"

#include "book/BookReader.h"
#include "book/Console.h"
#include "book/DisplayText.h"
#include "maintenance/BookOpening.h"

namespace plinth {

InstallationCheck CheckInstallation(const std::optional<std::string>& book, bool componentFound,
                                    bool helpPageFound, IFileSystem& files) {
    InstallationCheck check;
    bool opened = true;
    if (book) {
        TextConsole console;
        BookReader reader(console, files);
        OpenChosenBook(reader, *book);
        opened = reader.IsInputOpen();
        check.report += std::string("Book: ") + (opened ? "opened" : "not opened") + "\n";
        for (const AttributeRow& row : AttributeRows(reader)) {
            check.report += "  " + row.field + ": " + DisplayText(OnOneLine(row.value)) + "\n";
        }
        check.report += DisplayText(console.Text());
    }
    check.report += std::string("Book information component: ") +
                    (componentFound ? "found" : "missing") +
                    "\nHelp page: " + (helpPageFound ? "found" : "missing") + "\n";
    check.passed = opened && componentFound && helpPageFound;
    return check;
}

}  // namespace plinth
