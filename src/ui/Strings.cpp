#include "ui/Strings.h"

namespace plinth::ui {

QString LoadString(int id) {
    switch (id) {
        case IDS_BOOK_FILTER:
            return QStringLiteral("Velmora books (*.bk)|*.bk||\n.bk");
        case IDS_NOT_A_BOOK:
            return QStringLiteral("Not a recognised book format !");
        default:
            return {};
    }
}

}  // namespace plinth::ui
