#pragma once

#include "browser/extensionregistrar.h"
#include "catalogtesting.h"
#include "queue/commandids.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class QTimer;
class QWidget;

namespace DialogTesting {

using TestSupport::FactoryCatalog;
using TestSupport::FindFormat;
using TestSupport::FormatPosition;
using TestSupport::PresetNames;
using TestSupport::PresetPosition;

// The dialog's control with this id (its object name is "id" and the number).
template <typename T = QWidget>
T* FindControl(QWidget& dialog, int id) {
    return dialog.findChild<T*>(Tarnwick::IdName(id));
}

// Shows the context items and the toolbar button as present, without touching any browser.
class PicturedRegistrar : public Tarnwick::ExtensionRegistrar {
public:
    int QueryState(bool& contextMenu, bool& toolbarButton, bool& toolsMenu) override {
        contextMenu = true;
        toolbarButton = true;
        toolsMenu = false;
        return 1;
    }
};

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
