#pragma once

// The book-information component as a Qt plugin: the class that the plugin's
// instance is, answering IBookInfo with DescribeBook.

#include <QObject>

#include "bookinfo/BookInfo.h"

namespace plinth::bookinfo {

class CBookInfo final : public QObject, public IBookInfo {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID PLINTH_IBOOKINFO_IID FILE "BookInfo.json")
    Q_INTERFACES(plinth::IBookInfo)

  public:
    CBookInfo() = default;

    int32_t GetDescription(const QString& path, std::optional<QString>& description) override;
};

}  // namespace plinth::bookinfo
