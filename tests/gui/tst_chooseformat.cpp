// "Choose Format..." on a row: the dialog reads the row's address off the window's thread and
// lists what it offers; the format chosen sticks to the row and is what its download takes.

#include "dialogtesting.h"
#include "queue/chooseformatdialog.h"
#include "queue/joblistview.h"
#include "windowfixture.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Tarnwick;
using DialogTesting::ModalAnswer;

namespace {

int HeightOf(const QString& path) {
    return TestSupport::ProbedPicture(path).section(u' ', 0, 0).toInt();
}

} // namespace

class TestChooseFormat : public QObject {
    Q_OBJECT

private slots:
    // The variants of an HLS master are listed; the one chosen is downloaded whatever the
    // limit of Options says, and the row says what it asks for.
    void theChosenFormatIsDownloaded() {
        WindowFixture f;
        QVERIFY2(f.StartService({}), qPrintable(f.service.Error()));
        QVERIFY2(f.service.AddWebMedia(QStringLiteral("ladder"),
                                       {QStringLiteral("--size"), QStringLiteral("640x480")}),
                 qPrintable(f.service.Error()));
        f.settings.convert = false;
        f.settings.largestPicture = 240;
        f.settings.quality = 2; // the largest picture
        f.Create();
        f.window->show();
        f.window->AddUrl(f.service.Url(QStringLiteral("/hls/ladder/master.m3u8")));

        QStringList listed;
        ModalAnswer answer(f.window.get(), [&](QWidget* modal) {
            auto* dialog = qobject_cast<ChooseFormatDialog*>(modal);
            if (dialog == nullptr || !QTest::qWaitFor([dialog] { return dialog->HasRead(); }, 20000))
                return;
            QTreeWidget* formats = dialog->Formats();
            for (int i = 0; i < formats->topLevelItemCount(); ++i)
                listed.append(formats->topLevelItem(i)->text(0) + QLatin1Char(' ') +
                              formats->topLevelItem(i)->text(1));
            const QList<QTreeWidgetItem*> wanted =
                formats->findItems(QStringLiteral("hls-2"), Qt::MatchExactly);
            if (wanted.size() == 1)
                formats->setCurrentItem(wanted.first());
            const QString pictures = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
            if (!pictures.isEmpty())
                dialog->grab().save(pictures + QStringLiteral("/choose-format.png"));
            dialog->accept();
        });
        f.window->List()->SelectAlone(0);
        f.window->ChooseFormat();
        QVERIFY(answer.Answered());
        QCOMPARE(listed,
                 (QStringList{QStringLiteral("By the quality and Options "), QStringLiteral("hls-0 240p"),
                              QStringLiteral("hls-1 360p"), QStringLiteral("hls-2 480p")}));
        QCOMPARE(f.window->Model()->Job(0).chosenFormat, QStringLiteral("hls-2"));
        QVERIFY(f.window->Model()
                    ->data(f.window->Model()->index(0, 0), Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("hls-2")));

        QVERIFY(f.RunToEnd());
        QCOMPARE(HeightOf(f.OutputFile(QStringLiteral("master.ts"))), 480);

        // A row's own limit goes before the one of Options: "largest" at most 360p.
        f.window->Model()->SetPictureChoice(0, QString(), 360);
        f.settings.alwaysOverwrite = true;
        QVERIFY(f.RunToEnd());
        QCOMPARE(HeightOf(f.OutputFile(QStringLiteral("master.ts"))), 360);
    }

    // An address that cannot be read says why; nothing can be chosen and the row keeps what
    // it had.
    void anUnreadableAddressSaysWhy() {
        WindowFixture f;
        f.Create();
        f.window->show();
        f.window->AddUrl(QStringLiteral("http://127.0.0.1:1/watch?v=none"));
        f.window->Model()->SetPictureChoice(0, QStringLiteral("137"), -1);
        QString said;
        bool okEnabled = true;
        ModalAnswer answer(f.window.get(), [&](QWidget* modal) {
            auto* dialog = qobject_cast<ChooseFormatDialog*>(modal);
            if (dialog == nullptr)
                return;
            auto* status = dialog->findChild<QLabel*>();
            // A wait that runs out leaves "Reading..." in said, which the checks below refuse.
            (void)QTest::qWaitFor([status] { return !status->text().startsWith(QStringLiteral("Reading")); },
                                  20000);
            said = status->text();
            okEnabled = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
            dialog->reject();
        });
        f.window->List()->SelectAlone(0);
        f.window->ChooseFormat();
        QVERIFY(answer.Answered());
        QVERIFY2(said.startsWith(QStringLiteral("The address could not be read: ")), qPrintable(said));
        QVERIFY(!okEnabled);
        QCOMPARE(f.window->Model()->Job(0).chosenFormat, QStringLiteral("137"));
    }
};

QTEST_MAIN(TestChooseFormat)
#include "tst_chooseformat.moc"
