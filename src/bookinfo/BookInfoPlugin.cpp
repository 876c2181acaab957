#include "bookinfo/BookInfoPlugin.h"

#include <QFile>
#include <new>

#include "bookinfo/BookDescription.h"

namespace plinth::bookinfo {

int32_t CBookInfo::GetDescription(const QString& path, std::optional<QString>& description) {
    description.reset();
    // Nothing may leave the component but its status.
    try {
        const BookDescription book = DescribeBook(QFile::encodeName(path).toStdString());
        if (book.status == kDescribed) {
            description = QString::fromStdString(book.text);
        }
        return book.status;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

}  // namespace plinth::bookinfo
