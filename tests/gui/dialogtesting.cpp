#include "dialogtesting.h"

#include "conversion/formatcatalog.h"
#include "conversion/preset.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace DialogTesting {

using namespace Tarnwick;

namespace {

constexpr int PollMs = 20;

void CloseIfOpen(QWidget* widget) {
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
        dialog->reject();
}

} // namespace

Catalog FactoryCatalog() {
    Catalog catalog = BuildCatalog();
    for (auto& group : catalog) {
        for (auto& format : group->formats)
            format->ResetToFactory();
    }
    return catalog;
}

OutputFormat* FindFormat(const Catalog& catalog, const QString& displayName) {
    for (const auto& group : catalog) {
        for (const auto& format : group->formats) {
            if (format->displayName == displayName)
                return format.get();
        }
    }
    return nullptr;
}

int FormatPosition(const Catalog& catalog, const QString& displayName) {
    int position = 0;
    for (const auto& group : catalog) {
        for (const auto& format : group->formats) {
            if (format->displayName == displayName)
                return position;
            ++position;
        }
    }
    return -1;
}

int PresetPosition(const OutputFormat& format, const QString& name) {
    for (size_t i = 0; i < format.presets.size(); ++i) {
        if (TextOf(format.presets[i]->settings.name) == name)
            return int(i);
    }
    return -1;
}

ModalAnswer::ModalAnswer(QWidget* owner, std::function<void(QWidget*)> answer, int timeoutMs)
    : owner_(owner)
    , answer_(std::move(answer))
    , timer_(new QTimer(this))
    , remainingPolls_(timeoutMs / PollMs) {
    timer_->setInterval(PollMs);
    connect(timer_, &QTimer::timeout, this, &ModalAnswer::Poll);
    timer_->start();
}

void ModalAnswer::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != owner_ && modal->isVisible()) {
        timer_->stop();
        answered_ = true;
        answer_(modal);
        CloseIfOpen(modal);
        return;
    }
    if (--remainingPolls_ <= 0) {
        timer_->stop();
        CloseIfOpen(modal);
    }
}

} // namespace DialogTesting
