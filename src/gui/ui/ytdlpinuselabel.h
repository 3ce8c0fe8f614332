#pragma once

#include <QLabel>
#include <atomic>
#include <memory>

class QThread;

namespace Tarnwick {

// "yt-dlp in use: 2024.12.06 (Tarnwick's own copy: ...)". Finding it runs each candidate's
// --version, which can take seconds, so it happens off the window's thread and the line is
// filled in when it is known.
class YtDlpInUseLabel : public QLabel {
    Q_OBJECT

public:
    // configuredPath is the settings value YtDlpPath.
    explicit YtDlpInUseLabel(const QString& configuredPath, QWidget* parent = nullptr);
    ~YtDlpInUseLabel() override;

private:
    QThread* lookup_ = nullptr;
    std::shared_ptr<std::atomic<bool>> closing_;
};

} // namespace Tarnwick
