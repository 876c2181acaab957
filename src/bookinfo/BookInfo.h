#pragma once

// The book-information component: a plugin of the suite, apart from the program,
// that describes a book file for the preview of the book selection dialog. The
// program finds it by its class identity and reaches it through IBookInfo only.

#include <QString>
#include <QUuid>
#include <QtPlugin>
#include <cstdint>
#include <optional>

namespace plinth {

// The class identity of the component, carried as "ClassId" in its plugin
// metadata.
inline constexpr QUuid kBookInfoClassId(0xffbc32f5, 0x160a, 0x4053, 0xb1, 0x7c, 0xcf, 0x0d, 0xde,
                                        0x0b, 0x85, 0x2c);

class IBookInfo {
  public:
    virtual ~IBookInfo() = default;

    // Describes the file at `path` (a full path) for a person choosing a book:
    // lines separated by "\n". Gives a status that is negative when the file
    // cannot be described; on success `description` holds the text, or nothing
    // when there is nothing to say.
    virtual int32_t GetDescription(const QString& path, std::optional<QString>& description) = 0;

  protected:
    IBookInfo() = default;
    IBookInfo(const IBookInfo&) = default;
    IBookInfo& operator=(const IBookInfo&) = default;
};

}  // namespace plinth

// The interface identity.
#define PLINTH_IBOOKINFO_IID "com.quarnet.velmora.IBookInfo/1.0"
Q_DECLARE_INTERFACE(plinth::IBookInfo, PLINTH_IBOOKINFO_IID)
