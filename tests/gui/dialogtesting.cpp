#include "dialogtesting.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace DialogTesting {

namespace {

constexpr int PollMs = 20;

void CloseIfOpen(QWidget* widget) {
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
        dialog->reject();
}

} // namespace

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
