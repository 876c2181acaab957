#include "ui/DialogLayout.h"

#include <QFontMetrics>
#include <QWidget>
#include <QWidgetItem>
#include <algorithm>
#include <cmath>

namespace plinth::ui {
namespace {

// The average character width is measured over the Latin alphabet, rounded.
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetLength = 52;

int Scale(int units, int base, int divisor) {
    return static_cast<int>(std::lround(static_cast<double>(units) * base / divisor));
}

int Share(double share, int extra) { return static_cast<int>(std::lround(share * extra)); }

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QString::fromLatin1(kAlphabet));
    m_baseX = std::max(1, (width + kAlphabetLength / 2) / kAlphabetLength);
    m_baseY = std::max(1, metrics.height());
}

int DialogUnits::X(int units) const { return Scale(units, m_baseX, 4); }

int DialogUnits::Y(int units) const { return Scale(units, m_baseY, 8); }

QRect DialogUnits::Rect(const QRect& units) const {
    return {X(units.x()), Y(units.y()), X(units.width()), Y(units.height())};
}

QSize DialogUnits::Size(const QSize& units) const { return {X(units.width()), Y(units.height())}; }

DialogLayout::DialogLayout(QWidget* dialog, QSize templateSize)
    : QLayout(dialog), m_templateSize(templateSize) {
    setContentsMargins(0, 0, 0, 0);
}

DialogLayout::~DialogLayout() = default;

void DialogLayout::AddWidget(QWidget* widget, QRect templateRect, Sizing sizing, Follow follow) {
    addChildWidget(widget);
    m_placements.push_back(
        Placement{std::make_unique<QWidgetItem>(widget), templateRect, sizing, follow});
    invalidate();
}

void DialogLayout::addItem(QLayoutItem* item) {
    // Items without a template position stay at the top left corner.
    m_placements.push_back(Placement{std::unique_ptr<QLayoutItem>(item), QRect(), {}, {}});
}

int DialogLayout::count() const { return static_cast<int>(m_placements.size()); }

QLayoutItem* DialogLayout::itemAt(int index) const {
    if (index < 0 || index >= count()) {
        return nullptr;
    }
    return m_placements[static_cast<size_t>(index)].item.get();
}

QLayoutItem* DialogLayout::takeAt(int index) {
    if (index < 0 || index >= count()) {
        return nullptr;
    }
    const auto place = m_placements.begin() + index;
    QLayoutItem* item = place->item.release();
    m_placements.erase(place);
    return item;
}

DialogUnits DialogLayout::Units() const {
    const QWidget* dialog = parentWidget();
    return DialogUnits(dialog != nullptr ? dialog->font() : QFont());
}

QSize DialogLayout::sizeHint() const { return Units().Size(m_templateSize); }

QSize DialogLayout::minimumSize() const { return sizeHint(); }

QRect DialogLayout::PlaceOf(const Placement& placement, const DialogUnits& units,
                            QSize extra) const {
    QRect place = units.Rect(placement.templateRect);
    const QSize hint = placement.item->sizeHint();
    switch (placement.sizing) {
        case Sizing::Template:
            break;
        case Sizing::NaturalHeight:
            place.setHeight(hint.height());
            break;
        case Sizing::FitText:
            place.setWidth(std::max(place.width(), hint.width()));
            break;
        case Sizing::WidgetSize:
            place.setSize(hint);
            break;
    }
    const Follow& follow = placement.follow;
    place.translate(Share(follow.moveX, extra.width()), Share(follow.moveY, extra.height()));
    place.setWidth(place.width() + Share(follow.growWidth, extra.width()));
    place.setHeight(place.height() + Share(follow.growHeight, extra.height()));
    return place;
}

void DialogLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const DialogUnits units = Units();
    const QSize templatePixels = units.Size(m_templateSize);
    const QSize extra(std::max(0, rect.width() - templatePixels.width()),
                      std::max(0, rect.height() - templatePixels.height()));
    for (const Placement& placement : m_placements) {
        placement.item->setGeometry(PlaceOf(placement, units, extra).translated(rect.topLeft()));
    }
}

}  // namespace plinth::ui
