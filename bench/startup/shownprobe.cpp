// A Qt plug-in that a benchmark loads into a program (QT_QPA_GENERIC_PLUGINS=shownprobe) to end
// it as soon as its first window is on screen: the process's run time is then its start-up.

#include <QEvent>
#include <QGenericPlugin>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <cstdlib>

namespace {

// A program that never shows a window would keep the benchmark waiting for ever.
constexpr int GiveUpMs = 60000;
constexpr int NoWindowShown = 3;

class ShownProbe : public QObject {
public:
    ShownProbe() {
        QTimer::singleShot(GiveUpMs, [] { std::_Exit(NoWindowShown); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            // The window paints while it handles this event; end once that is done, without
            // the program's own shutdown, which is no part of its start-up.
            if (window != nullptr && window->isExposed())
                QTimer::singleShot(0, [] { std::_Exit(0); });
        }
        return false;
    }
};

} // namespace

class ShownProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "shownprobe.json")

public:
    QObject* create(const QString&, const QString&) override {
        auto* probe = new ShownProbe;
        QCoreApplication::instance()->installEventFilter(probe);
        return probe;
    }
};

#include "shownprobe.moc"
