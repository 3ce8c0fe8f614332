#pragma once

#include "catalogtesting.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QTimer;
class QWidget;

namespace DialogTesting {

using TestSupport::FactoryCatalog;
using TestSupport::FindFormat;
using TestSupport::FormatPosition;
using TestSupport::PresetPosition;

// Answers the next modal dialog that opens over `owner` (which may itself be modal): calls
// answer with it once it shows. A dialog still open after the answer is rejected, and so is
// any modal dialog still open after timeoutMs, so that a test can fail but never hang.
class ModalAnswer : public QObject {
    Q_OBJECT

public:
    ModalAnswer(QWidget* owner, std::function<void(QWidget*)> answer, int timeoutMs = 10000);
    bool Answered() const { return answered_; }

private:
    void Poll();

    QPointer<QWidget> owner_;
    std::function<void(QWidget*)> answer_;
    QTimer* timer_;
    int remainingPolls_;
    bool answered_ = false;
};

} // namespace DialogTesting
