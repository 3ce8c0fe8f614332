#include "ytdlpinuselabel.h"

#include "retrieval/sources/ytdlp/ytdlpinuse.h"

#include <QThread>

namespace Tarnwick {

YtDlpInUseLabel::YtDlpInUseLabel(const QString& configuredPath, QWidget* parent)
    : QLabel(QStringLiteral("yt-dlp in use: looking..."), parent)
    , closing_(std::make_shared<std::atomic<bool>>(false)) {
    setObjectName(QStringLiteral("ytDlpInUse"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto text = std::make_shared<QString>();
    lookup_ = QThread::create([configuredPath, text, closing = closing_] {
        *text =
            YtDlpInUseText(FindYtDlp(configuredPath, [closing] { return closing->load(); }), configuredPath);
    });
    connect(lookup_, &QThread::finished, this, [this, text] {
        if (closing_->load())
            return;
        setText(QStringLiteral("yt-dlp in use: ") + *text);
        // The box was laid out for the short text; it grows to show the whole line.
        if (window() != nullptr)
            window()->adjustSize();
    });
    lookup_->start();
}

YtDlpInUseLabel::~YtDlpInUseLabel() {
    // The lookup ends within moments of being told: its probes are stopped and their
    // processes ended.
    closing_->store(true);
    lookup_->wait();
    delete lookup_;
}

} // namespace Tarnwick
