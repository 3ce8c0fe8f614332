#include "app/appsettings.h"
#include "dialogtesting.h"
#include "presets/optionsdialog.h"
#include "testenvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Tarnwick;
using namespace DialogTesting;

namespace {

// Stands in for the browser's entries, which this machine does not have.
class RecordedBrowser : public BrowserIntegration {
public:
    explicit RecordedBrowser(BrowserEntries state)
        : state_(state) {}
    BrowserEntries QueryState() override { return state_; }
    void Enable(bool extension, const BrowserEntries& entries) override {
        calls.append({extension, entries});
    }
    QList<std::pair<bool, BrowserEntries>> calls;

private:
    BrowserEntries state_;
};

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void okStoresAsTypedCancelStoresNothing_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    void okStoresAsTypedCancelStoresNothing() {
        QFETCH(bool, ok);
        TestSupport::IsolatedProfile profile;
        AppSettings settings;
        settings.defaultFolder = QStringLiteral("/old/folder");
        settings.player = QStringLiteral("oldplayer");
        OptionsDialog dialog(settings);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(FindControl<QComboBox>(dialog, 1010)->currentText(), QStringLiteral("/old/folder"));

        FindControl<QCheckBox>(dialog, 1048)->click();
        FindControl<QCheckBox>(dialog, 1035)->click();
        auto* folder = FindControl<QComboBox>(dialog, 1010)->lineEdit();
        folder->clear();
        // Neither text is checked or tidied: a missing folder shows where it is used.
        QTest::keyClicks(folder, QStringLiteral(" /no such/folder "));
        auto* player = FindControl<QLineEdit>(dialog, 1042);
        player->clear();
        QTest::keyClicks(player, QStringLiteral("not a program"));
        ok ? dialog.accept() : dialog.reject();

        QCOMPARE(settings.alwaysOverwrite, ok);
        QCOMPARE(settings.autoStart, ok);
        QCOMPARE(settings.defaultFolder,
                 ok ? QStringLiteral(" /no such/folder ") : QStringLiteral("/old/folder"));
        QCOMPARE(settings.player, ok ? QStringLiteral("not a program") : QStringLiteral("oldplayer"));
    }

    void folderFieldListsRecentFoldersButShowsStoredOne() {
        TestSupport::IsolatedProfile profile;
        QTemporaryDir recent;
        AppSettings settings;
        settings.recentFolderList.Add(recent.path());
        OptionsDialog dialog(settings);
        auto* field = FindControl<QComboBox>(dialog, 1010);
        QCOMPARE(field->count(), 1);
        QCOMPARE(field->currentText(), QString());
        dialog.accept();
        QCOMPARE(settings.defaultFolder, QString());
    }

    void folderBrowserStartsAtFieldOrVideoFolder_data() {
        QTest::addColumn<bool>("emptyField");
        QTest::newRow("empty field: video folder") << true;
        QTest::newRow("folder in field") << false;
    }

    void folderBrowserStartsAtFieldOrVideoFolder() {
        QFETCH(bool, emptyField);
        TestSupport::IsolatedProfile profile;
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
        QVERIFY(videos.startsWith(home.path()));
        QTemporaryDir chosen;
        AppSettings settings;
        settings.defaultFolder = emptyField ? QString() : chosen.path();
        OptionsDialog dialog(settings);
        dialog.show();

        QString startFolder;
        QString title;
        ModalAnswer answer(&dialog, [&](QWidget* modal) {
            if (auto* browser = qobject_cast<QFileDialog*>(modal)) {
                startFolder = browser->directory().absolutePath();
                title = browser->windowTitle();
                browser->reject();
            }
        });
        dialog.BrowseFolder();
        qputenv("HOME", oldHome);

        QVERIFY(answer.Answered());
        QCOMPARE(title, QStringLiteral("Select a default folder to save download"));
        QCOMPARE(startFolder, emptyField ? videos : chosen.path());
        QVERIFY(QFileInfo(startFolder).isDir());
        // Cancelling the browser leaves the text as it was.
        QCOMPARE(FindControl<QComboBox>(dialog, 1010)->currentText(), settings.defaultFolder);
    }

    void browserBoxesDisabledWithoutIntegration() {
        TestSupport::IsolatedProfile profile;
        AppSettings settings;
        OptionsDialog dialog(settings);
        for (int id : {1029, 1031, 1018, 1034}) {
            auto* box = FindControl<QCheckBox>(dialog, id);
            QVERIFY(!box->isEnabled());
            QCOMPARE(box->toolTip(), QString::fromLatin1(OptionsDialog::BrowserUnavailableTip));
        }
        QVERIFY(FindControl(dialog, 1035)->isEnabled());
    }

    void browserBoxesFollowTheExtensionBox() {
        TestSupport::IsolatedProfile profile;
        AppSettings settings;
        RecordedBrowser browser({false, false, true});
        {
            OptionsDialog dialog(settings, &browser);
            QVERIFY(FindControl<QCheckBox>(dialog, 1029)->isChecked());
            QVERIFY(FindControl<QCheckBox>(dialog, 1034)->isChecked());
            QVERIFY(!FindControl<QCheckBox>(dialog, 1031)->isChecked());
            dialog.accept();
            QVERIFY(browser.calls.isEmpty());
        }
        {
            OptionsDialog dialog(settings, &browser);
            FindControl<QCheckBox>(dialog, 1029)->click();
            QVERIFY(!FindControl(dialog, 1034)->isEnabled());
            QVERIFY(FindControl<QCheckBox>(dialog, 1034)->isChecked());
            dialog.accept();
            QCOMPARE(browser.calls.size(), 1);
            QCOMPARE(browser.calls[0].first, false);
        }
        {
            OptionsDialog dialog(settings, &browser);
            FindControl<QCheckBox>(dialog, 1029)->click();
            FindControl<QCheckBox>(dialog, 1029)->click();
            for (int id : {1031, 1018, 1034})
                QVERIFY(FindControl<QCheckBox>(dialog, id)->isChecked() &&
                        FindControl(dialog, id)->isEnabled());
            dialog.reject();
            QCOMPARE(browser.calls.size(), 1);
        }
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "tst_optionsdialog.moc"
