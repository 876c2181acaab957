#pragma once

#include <QDialog>

namespace plinth {

// "About Plinth": the icon, the program's name and version, and OK.
class CAboutDlg final : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace plinth
