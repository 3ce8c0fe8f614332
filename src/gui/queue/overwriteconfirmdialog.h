#pragma once

#include <QDialog>

namespace Tarnwick {

// "Confirm File Overwrite": asks whether an existing output file may be replaced. exec()
// returns the id of the button pressed (JobContext's Answer ids); Escape answers Cancel.
class OverwriteConfirmDialog : public QDialog {
    Q_OBJECT

public:
    explicit OverwriteConfirmDialog(const QString& fileName, QWidget* parent = nullptr);

    void reject() override;
};

} // namespace Tarnwick
