#pragma once

#include "app/appsettings.h"
#include "conversion/conversionengine.h"
#include "conversion/outputformat.h"
#include "queue/mainwindow.h"
#include "sampleservice.h"
#include "testenvironment.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

// Records what the window hands to the desktop (folders, files, addresses) instead of
// starting programs during a test.
class DesktopRecorder : public QObject {
    Q_OBJECT

public:
    DesktopRecorder();
    ~DesktopRecorder() override;
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

// A main window with its own profile, output folder and sample service, and recorders for
// its messages and overwrite questions.
struct WindowFixture {
    WindowFixture();

    // Makes the window; with a catalog and an engine it can convert.
    void Create(Tarnwick::Catalog* catalog = nullptr, Tarnwick::ConversionEngine* engine = nullptr);
    // Starts the service with a video "clip<id>" titled "Clip <id>" for each id. A large
    // sample makes the stalled and slow streams last long enough to act during them.
    bool StartService(const QStringList& ids, bool largeSample = false);
    // Starts a run and waits for its end; false when it did not end in time.
    bool RunToEnd(int timeoutMs = 120000);
    QString OutputFile(const QString& name) const { return output.filePath(name); }

    TestSupport::IsolatedProfile profile;
    Tarnwick::AppSettings settings;
    QTemporaryDir output;
    SampleService service;
    std::unique_ptr<Tarnwick::MainWindow> window;
    QStringList messages;
    QStringList questions;
    bool questionsOnWindowThread = true;
    QList<int> answers; // given in order; the last one repeats
};
