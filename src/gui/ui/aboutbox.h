#pragma once

#include <QDialog>

namespace Tarnwick {

// The product title, its version, the maker's two links and the yt-dlp in use.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    // ytDlpPath is the settings value YtDlpPath, which decides which yt-dlp is in use.
    explicit AboutBox(const QString& ytDlpPath = QString(), QWidget* parent = nullptr);
};

} // namespace Tarnwick
