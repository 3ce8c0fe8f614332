// The main window without a run: adding addresses, the header and hint, command enabling,
// compact mode, the list commands on delivered files, and the values written at exit.

#include "queue/commandids.h"
#include "queue/joblistview.h"
#include "ui/twocolumncombobox.h"
#include "windowfixture.h"

#include "app/commandline.h"
#include "conversion/formatcatalog.h"
#include "queue/outputfile.h"

#include "catalogtesting.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Tarnwick;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void addUrl_data();
    void addUrl();
    void sameAddressTwiceGivesTwoItems();
    void hintShowsExactlyWhenEmpty();
    void clipboardLinesAreAddresses_data();
    void clipboardLinesAreAddresses();
    void dropsOfTextAndLinks_data();
    void dropsOfTextAndLinks();
    void idleEnablingRules();
    void convertCheckGovernsFormatControls();
    void catalogFillsTheListsAndStoredIndexesApply_data();
    void catalogFillsTheListsAndStoredIndexesApply();
    void compactModeEnteredTwiceReusesItsRectangle();
    void contextMenusFollowTheMode();
    void stateIconsKeepTheirSizeBelowARowWithout();
    void renameInPlace();
    void openFolderAndPlay();
    void settingsWrittenWhenTheWindowCloses();
    void commandLineQueuesAndTakesTheFolder();
    void linksAndButtonsOpenTheirDialogs_data();
    void linksAndButtonsOpenTheirDialogs();

private:
    static QAction* Action(WindowFixture& f, int id) { return f.window->CommandAction(id); }
    template <typename T>
    static T* Find(WindowFixture& f, int id) {
        return f.window->findChild<T*>(IdName(id));
    }
    static void Deliver(WindowFixture& f, int row, const QString& name);
};

void TestMainWindow::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrand"));
    QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
}

// Pretends a run delivered a file for the row.
void TestMainWindow::Deliver(WindowFixture& f, int row, const QString& name) {
    QFile file(f.OutputFile(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("video bytes");
    file.close();
    f.window->Model()->Job(row).outputPath = f.OutputFile(name);
    f.window->Model()->Job(row).state = JobState::Succeeded;
    f.window->Model()->JobChanged(row);
}

void TestMainWindow::addUrl_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("watch page") << QStringLiteral("http://host/watch?v=abc") << true;
    QTest::newRow("any scheme") << QStringLiteral("ftp://host/file") << true;
    QTest::newRow("no scheme") << QStringLiteral("host/watch?v=abc") << false;
    QTest::newRow("blank before the scheme") << QStringLiteral(" http://host/") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestMainWindow::addUrl() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    WindowFixture f;
    f.Create();
    f.window->AddUrl(QStringLiteral("http://host/first"));
    const int row = f.window->AddUrl(text);
    if (accepted) {
        QCOMPARE(row, 1);
        QCOMPARE(f.window->Model()->Job(1).url, text);
        QCOMPARE(f.window->List()->SelectedRows(), QList<int>{1});
        QCOMPARE(f.settings.recentUrlList.At(0), text);
        QVERIFY(f.messages.isEmpty());
    } else {
        QCOMPARE(row, -1);
        QCOMPARE(f.window->Model()->rowCount(), 1);
        QCOMPARE(f.messages, QStringList{QStringLiteral("Invalid URL:\n'%1'").arg(text)});
        QCOMPARE(f.settings.recentUrlList.At(0), QStringLiteral("http://host/first"));
    }
}

void TestMainWindow::sameAddressTwiceGivesTwoItems() {
    WindowFixture f;
    f.Create();
    const QString url = QStringLiteral("http://host/watch?v=same");
    f.window->AddUrl(url);
    f.window->AddUrl(url);
    QCOMPARE(f.window->Model()->rowCount(), 2);
    QCOMPARE(f.window->List()->header()->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("URL (2)"));
    QCOMPARE(f.window->CompactTip(), QStringLiteral("URL (2)"));
    QCOMPARE(f.settings.recentUrlList.Entries(), QStringList{url});

    // A batch leaves the recent list exactly as adding its addresses one by one would.
    QStringList batch;
    for (int i = 0; i < 60; ++i)
        batch.append(QStringLiteral("http://host/watch?v=%1").arg(i % 7 == 0 ? 3 : i));
    RecentList oneByOne(RecentList::Matching::Exact);
    for (const QString& address : QStringList{url} + batch)
        oneByOne.Add(address);
    f.window->AddUrls(batch);
    QCOMPARE(f.settings.recentUrlList.Entries(), oneByOne.Entries());
}

void TestMainWindow::hintShowsExactlyWhenEmpty() {
    WindowFixture f;
    f.Create();
    f.window->show();
    QLabel* hint = f.window->List()->Hint();
    QCOMPARE(hint->text(), QStringLiteral("Drag and drop video URL to this dialog to Begin!"));
    QVERIFY(hint->isVisible());
    const QRect viewport = f.window->List()->viewport()->rect();
    QVERIFY(qAbs(hint->geometry().center().x() - viewport.center().x()) <= 1);
    QVERIFY(qAbs(hint->geometry().center().y() - viewport.center().y()) <= 1);

    f.window->AddUrl(QStringLiteral("http://host/a"));
    QVERIFY(!hint->isVisible());
    f.window->List()->SelectAlone(0);
    // The Delete key reaches Remove through the window's accelerators.
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.window->activateWindow();
    f.window->List()->setFocus();
    QTest::keyClick(f.window->List(), Qt::Key_Delete);
    QCOMPARE(f.window->Model()->rowCount(), 0);
    QVERIFY(hint->isVisible());
    QCOMPARE(f.window->CompactTip(), QStringLiteral("URL (0)"));
}

void TestMainWindow::clipboardLinesAreAddresses_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("refused");
    const QString a = QStringLiteral("http://host/watch?v=a");
    const QString b = QStringLiteral("http://host/watch?v=b");
    QTest::newRow("one address") << a << QStringList{a} << QStringList{};
    QTest::newRow("each line its own job")
        << a + QStringLiteral("\r\n") + b + QStringLiteral("\n") << QStringList{a, b} << QStringList{};
    QTest::newRow("bad lines reported together, once")
        << QStringLiteral("watch?v=a\n  %1  \n\nno scheme").arg(b) << QStringList{b}
        << QStringList{QStringLiteral("watch?v=a"), QStringLiteral("no scheme")};
    QTest::newRow("empty clipboard does nothing") << QString() << QStringList{} << QStringList{};
}

void TestMainWindow::clipboardLinesAreAddresses() {
    QFETCH(QString, clipboard);
    QFETCH(QStringList, added);
    QFETCH(QStringList, refused);
    WindowFixture f;
    f.Create();
    QApplication::clipboard()->setText(clipboard);
    Action(f, Command::AddFromClipboard)->trigger();
    QStringList rows;
    for (int row = 0; row < f.window->Model()->rowCount(); ++row)
        rows.append(f.window->Model()->Job(row).url);
    QCOMPARE(rows, added);
    QCOMPARE(f.messages.size(), refused.isEmpty() ? 0 : 1);
    for (const QString& line : refused)
        QVERIFY2(f.messages.first().contains(QStringLiteral("'%1'").arg(line)),
                 qPrintable(f.messages.first()));
    if (!added.isEmpty())
        QCOMPARE(f.window->List()->SelectedRows(), QList<int>{int(added.size()) - 1});
}

void TestMainWindow::dropsOfTextAndLinks_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("control");
    QTest::addColumn<QString>("added");
    QTest::newRow("text, moved") << QStringLiteral("text/plain") << QByteArray("http://host/watch?v=t")
                                 << false << QStringLiteral("http://host/watch?v=t");
    QTest::newRow("text with Ctrl, copied")
        << QStringLiteral("text/plain") << QByteArray("http://host/watch?v=c") << true
        << QStringLiteral("http://host/watch?v=c");
    QTest::newRow("link") << QStringLiteral("text/uri-list") << QByteArray("http://host/watch?v=u\r\n")
                          << false << QStringLiteral("http://host/watch?v=u");
    QTest::newRow("no text") << QStringLiteral("image/png") << QByteArray("\x89PNG") << false << QString();
}

void TestMainWindow::dropsOfTextAndLinks() {
    QFETCH(QString, format);
    QFETCH(QByteArray, payload);
    QFETCH(bool, control);
    QFETCH(QString, added);
    WindowFixture f;
    f.Create();
    f.window->show();
    QMimeData data;
    data.setData(format, payload);
    const Qt::KeyboardModifiers modifiers = control ? Qt::ControlModifier : Qt::NoModifier;
    const QPoint where = f.window->List()->geometry().center();
    QDragEnterEvent enter(where, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(f.window.get(), &enter);
    QCOMPARE(enter.isAccepted(), !added.isEmpty());
    if (added.isEmpty())
        return;
    QCOMPARE(enter.dropAction(), control ? Qt::CopyAction : Qt::MoveAction);
    QDropEvent drop(where, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(f.window.get(), &drop);
    QCOMPARE(drop.dropAction(), control ? Qt::CopyAction : Qt::MoveAction);
    QCOMPARE(f.window->Model()->rowCount(), 1);
    QCOMPARE(f.window->Model()->Job(0).url, added);
}

void TestMainWindow::idleEnablingRules() {
    WindowFixture f;
    f.Create();
    auto enabled = [&f](int id) {
        return Action(f, id)->isEnabled();
    };
    QVERIFY(!enabled(Command::Remove));
    QVERIFY(!enabled(Command::Clear));
    QVERIFY(!enabled(Command::StartDownloading));
    QVERIFY(!enabled(Command::Stop));
    QVERIFY(!enabled(Command::CopyUrl));
    QVERIFY(enabled(Command::AddUrl));
    QVERIFY(enabled(Command::About));

    f.window->AddUrl(QStringLiteral("http://host/a"));
    f.window->AddUrl(QStringLiteral("http://host/b"));
    QVERIFY(enabled(Command::Remove));
    QVERIFY(enabled(Command::Clear));
    QVERIFY(enabled(Command::StartDownloading));
    QVERIFY(enabled(Command::CopyUrl));
    QVERIFY(enabled(Command::WatchOnline));
    QVERIFY(!enabled(Command::Play));
    QVERIFY(!enabled(Command::Rename));
    QVERIFY(!enabled(Command::CopyTo));

    f.window->List()->clearSelection();
    QVERIFY(!enabled(Command::Remove));
    QVERIFY(!enabled(Command::CopyUrl));
    QVERIFY(enabled(Command::Clear));

    // Play, Rename and Copy To follow the first selected item only.
    Deliver(f, 1, QStringLiteral("b.flv"));
    f.window->List()->SelectAlone(1);
    QVERIFY(enabled(Command::Play));
    QVERIFY(enabled(Command::Rename));
    QVERIFY(enabled(Command::CopyTo));
    f.window->List()->selectAll();
    QVERIFY(!enabled(Command::Play));
    QVERIFY(!enabled(Command::CopyTo));

    // The toolbar's buttons follow the same rules as the menu items.
    f.window->List()->clearSelection();
    for (QAction* action : f.window->findChildren<QAction*>(IdName(Command::Remove)))
        QVERIFY(!action->isEnabled());
}

void TestMainWindow::convertCheckGovernsFormatControls() {
    WindowFixture f;
    f.settings.convert = true;
    f.Create();
    f.window->show();
    auto* check = Find<QCheckBox>(f, Control::ConvertCheck);
    QVERIFY(check->isChecked());
    const int ids[] = {Control::FormatCombo, Control::PresetCombo, Control::AdvancedButton};
    for (int id : ids)
        QVERIFY(Find<QWidget>(f, id)->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(!check->isChecked());
    for (int id : ids)
        QVERIFY(!Find<QWidget>(f, id)->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton);
    for (int id : ids)
        QVERIFY(Find<QWidget>(f, id)->isEnabled());
}

void TestMainWindow::catalogFillsTheListsAndStoredIndexesApply_data() {
    QTest::addColumn<int>("storedFormat");
    QTest::addColumn<int>("storedPreset");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("preset");
    QTest::newRow("in range") << 7 << 1 << 7 << 1;
    QTest::newRow("format out of range") << 999 << 0 << 0 << 0;
    QTest::newRow("negative") << -1 << -5 << 0 << 0;
}

void TestMainWindow::catalogFillsTheListsAndStoredIndexesApply() {
    QFETCH(int, storedFormat);
    QFETCH(int, storedPreset);
    QFETCH(int, format);
    QFETCH(int, preset);
    Catalog catalog = BuildCatalog();
    QList<int> counts;
    for (auto& group : catalog) {
        counts.append(int(group->formats.size()));
        for (auto& entry : group->formats)
            entry->ResetToFactory();
    }
    WindowFixture f;
    f.settings.recentFormat = storedFormat;
    f.settings.recentPreset = storedPreset;
    f.Create(&catalog);
    TwoColumnComboBox* formats = f.window->FormatCombo();
    TwoColumnComboBox* presets = f.window->PresetCombo();
    QCOMPARE(formats->count(), 23);
    QCOMPARE(formats->currentIndex(), format);
    QCOMPARE(presets->currentIndex(), preset);
    const OutputFormat* chosen = nullptr;
    int index = 0;
    for (auto& group : catalog)
        for (auto& entry : group->formats)
            if (index++ == format)
                chosen = entry.get();
    QCOMPARE(formats->itemText(format), chosen->displayName + QLatin1Char('\t') + chosen->extension);
    const int customRows = chosen->customPreset ? 1 : 0;
    QCOMPARE(presets->count(), int(chosen->presets.size()) + customRows);
    if (customRows)
        QCOMPARE(presets->itemText(presets->count() - 1), QStringLiteral("Custom"));
    // Group separators above the first entry of each later group.
    int start = 0;
    for (int i = 0; i < counts.size(); ++i) {
        QCOMPARE(formats->Delegate()->StartsGroup(start), i > 0);
        start += counts[i];
    }

    // Choosing the same entry again leaves the preset list as it is.
    presets->setCurrentIndex(presets->count() - 1);
    formats->setCurrentIndex(format);
    QCOMPARE(presets->currentIndex(), presets->count() - 1);
}

void TestMainWindow::compactModeEnteredTwiceReusesItsRectangle() {
    WindowFixture f;
    f.Create();
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    const QRect full = f.window->geometry();

    QTest::mouseDClick(f.window.get(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 140));
    QVERIFY(f.window->IsCompact());
    QCOMPARE(f.window->size(), QSize(32, 24));
    QVERIFY(f.window->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(f.window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(f.window->findChild<QLabel*>(IdName(Control::ProgramIcon))->isVisible());
    QVERIFY(!f.window->List()->isVisible());
    f.window->move(40, 50);
    const QRect compact = f.window->geometry();

    Action(f, Command::Restore)->trigger();
    QVERIFY(!f.window->IsCompact());
    QCOMPARE(f.window->size(), full.size());
    QVERIFY(f.window->List()->isVisible());
    // Keep on top is off, so the window is not topmost any more.
    QVERIFY(!(f.window->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(!(f.window->windowFlags() & Qt::FramelessWindowHint));

    f.window->SetCompact(true);
    QCOMPARE(f.window->geometry().topLeft(), compact.topLeft());
    QTest::mouseDClick(f.window.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QVERIFY(!f.window->IsCompact());
}

void TestMainWindow::contextMenusFollowTheMode() {
    WindowFixture f;
    f.Create();
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    // The menu the window shows, closed again.
    auto takeShownMenu = [&f] {
        QMenu* shown = nullptr;
        for (QMenu* menu : f.window->findChildren<QMenu*>())
            if (menu->isVisible())
                shown = menu;
        if (shown)
            shown->hide();
        return shown;
    };
    auto openedMenu = [&takeShownMenu](QWidget* target, QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
        return takeShownMenu();
    };
    QMenu* main = openedMenu(f.window.get(), QPoint(5, 150));
    QVERIFY(main);
    QVERIFY(main->actions().contains(Action(f, Command::About)));
    QMenu* list = openedMenu(f.window->List()->viewport(), QPoint(10, 10));
    QVERIFY(list);
    QVERIFY(list->actions().contains(Action(f, Command::WatchOnline)));
    // Shift+F10 asks as the Menu key does: for the list when it has the focus.
    auto menuByKeyboard = [&takeShownMenu](QWidget* focus) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_F10, Qt::ShiftModifier);
        return takeShownMenu();
    };
    QCOMPARE(menuByKeyboard(f.window->List()), list);
    QCOMPARE(menuByKeyboard(f.window->findChild<QWidget*>(IdName(Control::QualityCombo))), main);
    f.window->SetCompact(true);
    QMenu* compact = openedMenu(f.window.get(), QPoint(5, 5));
    QVERIFY(compact);
    QCOMPARE(compact->defaultAction(), Action(f, Command::Restore));
}

void TestMainWindow::stateIconsKeepTheirSizeBelowARowWithout() {
    WindowFixture f;
    f.Create();
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    JobTableModel* model = f.window->Model();
    const JobState states[] = {JobState::Skipped, JobState::Failed, JobState::Idle};
    for (JobState state : states) {
        const int row = f.window->AddUrl(QStringLiteral("http://host/watch?v=%1").arg(int(state)));
        model->Job(row).state = state;
        model->JobChanged(row);
    }
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        QVERIFY(f.window->List()->visualRect(index).height() >= 16);
        const QIcon icon = model->data(index, Qt::DecorationRole).value<QIcon>();
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(16, 16)});
    }
}

void TestMainWindow::renameInPlace() {
    WindowFixture f;
    f.Create();
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.window->AddUrl(QStringLiteral("http://host/a"));
    f.window->AddUrl(QStringLiteral("http://host/b"));
    Deliver(f, 0, QStringLiteral("Clip.flv"));
    Deliver(f, 1, QStringLiteral("Taken.flv"));
    f.window->List()->SelectAlone(0);

    auto renameTo = [&f](const QString& name) {
        Action(f, Command::Rename)->trigger();
        auto* editor = f.window->List()->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), FileNameOf(f.window->Model()->Job(0).outputPath));
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!f.window->List()->viewport()->findChild<QLineEdit*>());
    };
    renameTo(QStringLiteral("CLIP.flv"));
    QVERIFY(QFile::exists(f.OutputFile(QStringLiteral("Clip.flv"))));
    QVERIFY(f.messages.isEmpty());

    renameTo(QStringLiteral("Taken.flv"));
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.window->Model()->data(f.window->Model()->index(0, 0)).toString(), QStringLiteral("Clip.flv"));

    renameTo(QStringLiteral("Holiday.flv"));
    QVERIFY(QFile::exists(f.OutputFile(QStringLiteral("Holiday.flv"))));
    QVERIFY(!QFile::exists(f.OutputFile(QStringLiteral("Clip.flv"))));
    QCOMPARE(f.window->Model()->Job(0).outputPath, f.OutputFile(QStringLiteral("Holiday.flv")));
}

void TestMainWindow::openFolderAndPlay() {
    DesktopRecorder desktop;
    WindowFixture f;
    f.Create();
    auto* openFolder = Find<QPushButton>(f, Control::OpenFolderButton);
    openFolder->click();
    QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(f.output.path())});

    // The field's current text counts, not the folder of the last run.
    f.window->SetFolderText(f.OutputFile(QStringLiteral("missing")));
    openFolder->click();
    QCOMPARE(f.messages, QStringList{QStringLiteral("Folder not exists")});
    QVERIFY(!QFile::exists(f.OutputFile(QStringLiteral("missing"))));

    // A Player setting that names no program: the file opens with the system's handler.
    f.settings.player = f.OutputFile(QStringLiteral("no-such-player"));
    f.window->AddUrl(QStringLiteral("http://host/a"));
    Deliver(f, 0, QStringLiteral("a.flv"));
    f.window->List()->SelectAlone(0);
    Action(f, Command::Play)->trigger();
    QCOMPARE(desktop.opened.last(), QUrl::fromLocalFile(f.OutputFile(QStringLiteral("a.flv"))));

    Action(f, Command::WatchOnline)->trigger();
    QCOMPARE(desktop.opened.last(), QUrl(QStringLiteral("http://host/a")));
    Action(f, Command::CopyUrl)->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("http://host/a"));

    // Only web pages go to the desktop; other schemes are refused with a word.
    const qsizetype openedBefore = desktop.opened.size();
    for (const QString& address :
         {QStringLiteral("file:///etc/passwd"), QStringLiteral("javascript:alert(1)")}) {
        const int row = f.window->AddUrl(address);
        f.window->List()->SelectAlone(row);
        Action(f, Command::WatchOnline)->trigger();
    }
    QCOMPARE(desktop.opened.size(), openedBefore);
    QCOMPARE(f.messages.size(), 3);
}

void TestMainWindow::settingsWrittenWhenTheWindowCloses() {
    WindowFixture f;
    f.settings.quality = 1;
    f.settings.keepOnTop = false;
    f.Create();
    f.window->show();
    QCOMPARE(Find<QComboBox>(f, Control::QualityCombo)->currentIndex(), 1);
    Find<QComboBox>(f, Control::QualityCombo)->setCurrentIndex(2);
    QTest::mouseClick(Find<QCheckBox>(f, Control::KeepOnTopCheck), Qt::LeftButton);
    QVERIFY(f.window->windowFlags() & Qt::WindowStaysOnTopHint);
    Find<QCheckBox>(f, Control::CloseWhenDoneCheck)->setChecked(true);
    QTest::mouseClick(Find<QCheckBox>(f, Control::ConvertCheck), Qt::LeftButton);
    Find<QPushButton>(f, Control::CloseButton)->click();
    QCOMPARE(f.window->result(), int(QDialog::Accepted));
    f.window.reset();
    QCOMPARE(f.settings.quality, 2);
    QCOMPARE(f.settings.keepOnTop, true);
    QCOMPARE(f.settings.autoClose, true);
    QCOMPARE(f.settings.convert, true);
}

void TestMainWindow::commandLineQueuesAndTakesTheFolder() {
    WindowFixture f;
    f.settings.autoStart = false;
    f.Create();
    CommandLineArgs args;
    args.urls = QStringList{QStringLiteral("http://host/a"), QStringLiteral("http://host/b")};
    args.outputFolder = f.OutputFile(QStringLiteral("given"));
    args.request = CommandLineArgs::AddressesGiven;
    f.window->ApplyCommandLine(args);
    QCOMPARE(f.window->Model()->rowCount(), 2);
    QCOMPARE(f.window->FolderText(), args.outputFolder);
    QVERIFY(!f.window->IsRunning());
}

void TestMainWindow::linksAndButtonsOpenTheirDialogs_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("dialogClass");
    QTest::newRow("Options link") << int(Control::OptionsLink) << QStringLiteral("Tarnwick::OptionsDialog");
    QTest::newRow("Presets link") << int(Control::PresetsLink) << QStringLiteral("Tarnwick::PresetsDialog");
    QTest::newRow("Advanced...") << int(Control::AdvancedButton)
                                 << QStringLiteral("Tarnwick::FormatSettingsDialog");
    QTest::newRow("About...") << int(Command::About) << QStringLiteral("Tarnwick::AboutBox");
}

void TestMainWindow::linksAndButtonsOpenTheirDialogs() {
    QFETCH(int, control);
    QFETCH(QString, dialogClass);
    Catalog catalog = TestSupport::FactoryCatalog();
    WindowFixture f;
    f.settings.convert = true;
    f.Create(&catalog);
    f.window->show();
    QString opened;
    QString texts;
    QTimer::singleShot(0, f.window.get(), [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        opened = QString::fromLatin1(modal->metaObject()->className());
        for (QLabel* label : modal->findChildren<QLabel*>())
            texts += label->text() + QLatin1Char('|');
        static_cast<QDialog*>(modal)->reject();
    });
    if (control == Command::About)
        Action(f, control)->trigger();
    else
        Find<QAbstractButton>(f, control)->click();
    QCOMPARE(opened, dialogClass);
    if (control == Command::About)
        QVERIFY2(texts.contains(QStringLiteral("Version 1.0.6")), qPrintable(texts));
    // Closing the dialog changed nothing in the window's lists.
    QCOMPARE(f.window->FormatCombo()->count(), 23);
    QVERIFY(f.window->PresetCombo()->count() > 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
