#pragma once

#include "conversion/outputformat.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QTimer;
class QWidget;

namespace DialogTesting {

// The catalogue with every format's factory presets, as a first start leaves it.
Tarnwick::Catalog FactoryCatalog();
Tarnwick::OutputFormat* FindFormat(const Tarnwick::Catalog& catalog, const QString& displayName);
// The format's position in the dialogs' format lists (catalogue order); -1 when missing.
int FormatPosition(const Tarnwick::Catalog& catalog, const QString& displayName);
int PresetPosition(const Tarnwick::OutputFormat& format, const QString& name);

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
