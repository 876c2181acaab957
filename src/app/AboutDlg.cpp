#include "app/AboutDlg.h"

#include <PlinthVersion.h>

#include <QLabel>
#include <QPushButton>

#include "app/PlinthIcon.h"
#include "ui/DialogLayout.h"

namespace plinth {
namespace {

using ui::DialogLayout;
using ui::Sizing;

// The About box's template, in dialog units.
constexpr QSize kTemplateSize(170, 62);
constexpr QRect kIcon(14, 14, 21, 20);
constexpr QRect kVersionText(42, 14, 114, 8);
constexpr QRect kOkButton(113, 41, 50, 14);
constexpr int kIconPixels = 32;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Plinth"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(PlinthIcon().pixmap(kIconPixels, kIconPixels));
    auto* version = new QLabel(QStringLiteral("Plinth, Version " PLINTH_VERSION), this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);

    auto* layout = new DialogLayout(this, kTemplateSize);
    layout->AddWidget(icon, kIcon, Sizing::WidgetSize);
    layout->AddWidget(version, kVersionText, Sizing::FitText);
    layout->AddWidget(ok, kOkButton);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace plinth
