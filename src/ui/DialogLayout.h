#pragma once

// Places the controls of a dialog where its template puts them. Templates give
// positions and sizes in dialog units, which follow the window's font: a
// horizontal unit is a quarter of the font's average character width, a vertical
// unit an eighth of its height. So a dialog keeps its proportions whatever font
// the desktop gives it.

#include <QFont>
#include <QLayout>
#include <QRect>
#include <QSize>
#include <memory>
#include <vector>

namespace plinth::ui {

// Converts dialog units into pixels for one font.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(const QRect& units) const;
    QSize Size(const QSize& units) const;

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

  private:
    int m_baseX;  // average character width in pixels
    int m_baseY;  // character height in pixels
};

// How a control follows the window when it is made larger than its template:
// the share of the extra width and height by which it moves and grows.
struct Follow {
    double moveX = 0.0;
    double growWidth = 0.0;
    double moveY = 0.0;
    double growHeight = 0.0;
};

// Which of a control's template sizes it keeps.
enum class Sizing {
    Template,       // exactly the template's rectangle
    NaturalHeight,  // the template's width, the widget's own height (a drop-down
                    // list, whose template height includes its open list)
    FitText,        // at least as wide as the widget's text needs (static texts
                    // laid out for a narrower font than the desktop's)
    WidgetSize,     // the widget's own size at the template's position (an icon,
                    // whose size is in pixels)
};

// A layout of controls at template positions. Its preferred and smallest size is
// the template's client area.
class DialogLayout final : public QLayout {
  public:
    // `templateSize` is the client area in dialog units.
    DialogLayout(QWidget* dialog, QSize templateSize);
    ~DialogLayout() override;

    void AddWidget(QWidget* widget, QRect templateRect, Sizing sizing = Sizing::Template,
                   Follow follow = {});

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

  private:
    struct Placement {
        std::unique_ptr<QLayoutItem> item;
        QRect templateRect;
        Sizing sizing = Sizing::Template;
        Follow follow;
    };

    DialogUnits Units() const;
    QRect PlaceOf(const Placement& placement, const DialogUnits& units, QSize extra) const;

    QSize m_templateSize;
    std::vector<Placement> m_placements;
};

}  // namespace plinth::ui
