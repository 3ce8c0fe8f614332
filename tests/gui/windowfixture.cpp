#include "windowfixture.h"

#include "mediafixtures.h"
#include "retrieval/job/processjob.h"

#include <QDesktopServices>
#include <QFile>
#include <QSignalSpy>
#include <QThread>

DesktopRecorder::DesktopRecorder() {
    for (const char* scheme : {"file", "http", "https", "mailto"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
}

DesktopRecorder::~DesktopRecorder() {
    for (const char* scheme : {"file", "http", "https", "mailto"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

WindowFixture::WindowFixture() {
    settings.convert = false;
}

void WindowFixture::Create(Tarnwick::Catalog* catalog, Tarnwick::ConversionEngine* engine) {
    if (settings.defaultFolder.isEmpty())
        settings.defaultFolder = output.path();
    window = std::make_unique<Tarnwick::MainWindow>(settings, engine, catalog, Tarnwick::ProcessJob);
    window->SetMessageFunction([this](const QString& text) { messages.append(text); });
    window->SetOverwriteQuestion([this](const QString& name) {
        questions.append(name);
        if (QThread::currentThread() != window->thread())
            questionsOnWindowThread = false;
        if (answers.isEmpty())
            return 1167;
        return answers.size() > 1 ? answers.takeFirst() : answers.first();
    });
}

bool WindowFixture::StartService(const QStringList& ids, bool largeSample) {
    if (!service.Start() || !service.AddSampleVideos())
        return false;
    if (largeSample) {
        TestSupport::FixtureContents contents;
        contents.seconds = 10.0;
        if (!TestSupport::MakeMediaFixture(service.MediaFolder() + QStringLiteral("/sample.flv"), contents))
            return false;
    }
    const QByteArray flv = service.MediaBytes(QStringLiteral("sample.flv"));
    const QByteArray mp4 = service.MediaBytes(QStringLiteral("sample.mp4"));
    for (const QString& id : ids) {
        if (!service.AddMedia(QStringLiteral("clip%1.flv").arg(id), flv) ||
            !service.AddMedia(QStringLiteral("clip%1.mp4").arg(id), mp4) ||
            !service.AddMedia(QStringLiteral("clip%1.title").arg(id),
                              QStringLiteral("Clip %1").arg(id).toUtf8()))
            return false;
    }
    settings.videoHost = service.Host();
    return true;
}

bool WindowFixture::RunToEnd(int timeoutMs) {
    QSignalSpy finished(window.get(), &Tarnwick::MainWindow::runFinished);
    window->StartRun();
    return finished.count() > 0 || finished.wait(timeoutMs);
}
