#pragma once
// The About box: program title, version and OK.

#include <QDialog>

class QLabel;
class QPushButton;

namespace kf {

class TFmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFmAbout(QWidget *parent = nullptr);

    QLabel *TitleLb;
    QLabel *VersionLb;
    QPushButton *OKBn;
};

} // namespace kf
