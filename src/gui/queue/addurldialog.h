#pragma once

#include <QDialog>

class QComboBox;

namespace Tarnwick {

// Asks for one address: in add mode for a new job (the clipboard is pasted in when it holds an
// address), in edit mode for the address of an existing job.
class AddUrlDialog : public QDialog {
    Q_OBJECT

public:
    enum class Mode { Add, Edit };

    // recentUrls fill the drop-down list; videoHost makes the example line.
    AddUrlDialog(Mode mode, const QStringList& recentUrls, const QString& videoHost,
                 const QString& initialText = {}, QWidget* parent = nullptr);

    QString Text() const;
    QComboBox* UrlField() const { return url_; }

private:
    QComboBox* url_;
};

} // namespace Tarnwick
