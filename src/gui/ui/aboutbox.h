#pragma once

#include <QDialog>

namespace Tarnwick {

// The product title, its version and the maker's two links.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace Tarnwick
