// The window furnishings: link button, size editor, two-column lists, dialog units and the
// small dialogs.

#include "queue/addurldialog.h"
#include "queue/commandids.h"
#include "queue/overwriteconfirmdialog.h"
#include "retrieval/job/jobcontext.h"
#include "ui/dialogunits.h"
#include "ui/executablefilter.h"
#include "ui/linkbutton.h"
#include "ui/sizecombobox.h"
#include "ui/twocolumncombobox.h"
#include "ui/vendor.h"
#include "windowfixture.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Tarnwick;

class TestWidgets : public QObject {
    Q_OBJECT

private slots:
    void linkTurnsRedUnderTheMouse();
    void linkWithoutAddressActsAsAButton();
    void linkWithAddressOpensIt();
    void sizeEditorShowsAutoAndComposesText();
    void sizeEditorTabOrder();
    void sizeEditorTakesChosenEntry();
    void formatListSeparators_data();
    void formatListSeparators();
    void secondColumnStartsAtTheOffsetInGrey();
    void longNamesNeverCoverTheSecondColumn();
    void executableFilterShowsRunnableFiles();
    void sizeFieldsRefuseSidesBeyondTheLimit_data();
    void sizeFieldsRefuseSidesBeyondTheLimit();
    void dialogUnitsFollowTheFont();
    void overwriteDialogAnswers_data();
    void overwriteDialogAnswers();
    void addUrlDialogPastesOnlyAddresses_data();
    void addUrlDialogPastesOnlyAddresses();

private:
    // The first x at which the row has a pixel of the given colour family, or -1.
    static int FirstInkColumn(const QImage& image, int from, bool grey);
};

void TestWidgets::linkTurnsRedUnderTheMouse() {
    QWidget parent;
    auto* link = new LinkButton(QStringLiteral("Options"), &parent);
    link->setGeometry(10, 10, 80, 16);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(link->TextColor(), QColor(0, 0, 255));
    QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), link->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(link, &enter);
    QCOMPARE(link->TextColor(), QColor(255, 0, 0));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QCOMPARE(link->TextColor(), QColor(0, 0, 255));
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);

    // What is painted follows: the hovered caption is drawn in red.
    QApplication::sendEvent(link, &enter);
    const QImage hovered = link->grab().toImage();
    bool red = false;
    for (int y = 0; y < hovered.height(); ++y)
        for (int x = 0; x < hovered.width(); ++x) {
            const QColor c = hovered.pixelColor(x, y);
            red = red || (c.red() > 200 && c.blue() < 80 && c.green() < 80);
        }
    QVERIFY(red);
}

void TestWidgets::linkWithoutAddressActsAsAButton() {
    DesktopRecorder desktop;
    LinkButton link(QStringLiteral("Presets"));
    link.resize(80, 16);
    QSignalSpy clicked(&link, &QAbstractButton::clicked);
    QTest::mouseClick(&link, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    QVERIFY(desktop.opened.isEmpty());
}

void TestWidgets::linkWithAddressOpensIt() {
    DesktopRecorder desktop;
    LinkButton link(QStringLiteral("Support"));
    link.SetAddress(SupportMailUrl(), QStringLiteral("Write to us"));
    QCOMPARE(link.text(), QStringLiteral("Write to us"));
    link.SizeToText();
    QCOMPARE(link.width(), link.fontMetrics().horizontalAdvance(link.text()) + 8);
    QTest::mouseClick(&link, Qt::LeftButton);
    QCOMPARE(desktop.opened,
             QList<QUrl>{QUrl(QStringLiteral("mailto:%1?subject=About Tarnwick").arg(SupportAddress))});
}

void TestWidgets::sizeEditorShowsAutoAndComposesText() {
    SizeComboBox combo;
    QSignalSpy changed(&combo, &QComboBox::editTextChanged);
    combo.SetValue(0, 480);
    QCOMPARE(combo.WidthField()->text(), QStringLiteral("Auto"));
    QCOMPARE(combo.HeightField()->text(), QStringLiteral("480"));
    QCOMPARE(combo.Value(), QSize(0, 480));
    changed.clear();
    // Setting fields does not notify; typing does, with the composed text.
    combo.WidthField()->clear();
    QTest::keyClicks(combo.WidthField(), QStringLiteral("640"));
    QCOMPARE(combo.currentText(), QStringLiteral("640 x 480"));
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.last().first().toString(), QStringLiteral("640 x 480"));
    // Text that is no number counts as "Auto".
    combo.HeightField()->setText(QStringLiteral("tall"));
    QCOMPARE(combo.Value(), QSize(640, 0));
    QCOMPARE(SizeComboBox::ParseSize(QStringLiteral("320")), QSize(320, 0));
    QCOMPARE(SizeComboBox::ParseSize(QString()), QSize(0, 0));
    combo.setEnabled(false);
    QVERIFY(!combo.WidthField()->isEnabled());
    QVERIFY(!combo.HeightField()->isEnabled());
}

void TestWidgets::sizeEditorTabOrder() {
    QWidget window;
    auto* combo = new SizeComboBox(&window);
    auto* after = new QLineEdit(&window);
    combo->setGeometry(0, 0, 200, 24);
    after->setGeometry(0, 30, 200, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    combo->setFocus();
    QTRY_VERIFY(combo->WidthField()->hasFocus());
    QTest::keyClick(combo->WidthField(), Qt::Key_Tab);
    QVERIFY(combo->HeightField()->hasFocus());
    QTest::keyClick(combo->HeightField(), Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(combo->WidthField()->hasFocus());
    QTest::keyClick(combo->WidthField(), Qt::Key_Tab);
    QTest::keyClick(combo->HeightField(), Qt::Key_Tab);
    QVERIFY(after->hasFocus());
}

void TestWidgets::sizeEditorTakesChosenEntry() {
    SizeComboBox combo;
    combo.addItems({QStringLiteral("320 x 240"), QStringLiteral("176 x 144")});
    emit combo.activated(1);
    QCOMPARE(combo.WidthField()->text(), QStringLiteral("176"));
    QCOMPARE(combo.HeightField()->text(), QStringLiteral("144"));
    QCOMPARE(combo.Value(), QSize(176, 144));
}

void TestWidgets::formatListSeparators_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("line");
    for (int row : {0, 1, 8, 9, 10, 11, 12, 17, 18, 19, 22})
        QTest::newRow(qPrintable(QString::number(row))) << row << (row == 9 || row == 11 || row == 18);
}

void TestWidgets::formatListSeparators() {
    QFETCH(int, row);
    QFETCH(bool, line);
    TwoColumnItemDelegate formats(TwoColumnItemDelegate::Kind::FormatList);
    formats.SetGroupCounts({9, 2, 7, 5});
    QCOMPARE(formats.StartsGroup(row), line);
    TwoColumnItemDelegate presets(TwoColumnItemDelegate::Kind::PresetList);
    presets.SetGroupCounts({9, 2, 7, 5});
    QVERIFY(!presets.StartsGroup(row));

    // The line is drawn in the list, never in the closed list's own field.
    QImage image(200, 20, QImage::Format_RGB32);
    auto topRowHasLine = [&](bool inField) {
        image.fill(Qt::white);
        QPainter painter(&image);
        formats.PaintEntry(&painter, image.rect(), QString(), row, false, true, inField);
        painter.end();
        return image.pixelColor(100, 0) != image.pixelColor(100, 10);
    };
    QCOMPARE(topRowHasLine(false), line);
    QVERIFY(!topRowHasLine(true));
}

int TestWidgets::FirstInkColumn(const QImage& image, int from, bool grey) {
    for (int x = from; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            const bool dark = c.lightness() < 200;
            const bool greyish = dark && c.lightness() > 40;
            if (grey ? greyish : c.lightness() < 100)
                return x;
        }
    return -1;
}

void TestWidgets::secondColumnStartsAtTheOffsetInGrey() {
    TwoColumnItemDelegate formats(TwoColumnItemDelegate::Kind::FormatList);
    formats.SetColumnOffset(124);
    QImage image(260, 18, QImage::Format_RGB32);
    QPainter painter(&image);
    formats.PaintEntry(&painter, image.rect(), QStringLiteral("FLV\t.flv"), 0, false, true, false);
    painter.end();
    const int textLeft = TwoColumnItemDelegate::TextArea(image.rect()).left();
    // Nothing between the first column's text and the offset; the second text starts there.
    const int second = FirstInkColumn(image, textLeft + 60, true);
    QVERIFY2(second >= textLeft + 124 && second <= textLeft + 126, qPrintable(QString::number(second)));
    bool allGrey = true;
    for (int x = second; x < second + 20; ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.lightness() < 250)
                allGrey = allGrey && qAbs(c.red() - c.blue()) < 20 && c.lightness() > 40;
        }
    QVERIFY(allGrey);

    // Selected rows draw the second column in the selection's text colour.
    QImage selected(260, 18, QImage::Format_RGB32);
    QPainter selectedPainter(&selected);
    formats.PaintEntry(&selectedPainter, selected.rect(), QStringLiteral("FLV\t.flv"), 0, true, true, false);
    selectedPainter.end();
    QCOMPARE(selected.pixelColor(textLeft + 200, 1), QPalette().color(QPalette::Highlight));
}

void TestWidgets::longNamesNeverCoverTheSecondColumn() {
    // A font much wider than the one the offsets were made for, as when the dialog font is missing.
    TwoColumnItemDelegate formats(TwoColumnItemDelegate::Kind::FormatList);
    formats.SetColumnOffset(124);
    auto render = [&formats](const QString& text) {
        QImage image(240, 24, QImage::Format_RGB32);
        QPainter painter(&image);
        QFont wide = painter.font();
        wide.setPointSize(16);
        painter.setFont(wide);
        formats.PaintEntry(&painter, image.rect(), text, 0, false, true, false);
        return image;
    };
    const QImage longName = render(QStringLiteral("Apple iPod 5.5G - H.264\t.mp4"));
    const QImage extensionOnly = render(QStringLiteral("\t.mp4"));
    const int textLeft = TwoColumnItemDelegate::TextArea(longName.rect()).left();
    QVERIFY(longName.copy(0, 0, textLeft + 100, 24) != extensionOnly.copy(0, 0, textLeft + 100, 24));
    // Right of the offset both rows are the same pixels: the extension, untouched by the name.
    const int right = textLeft + 124;
    QCOMPARE(longName.copy(right, 0, longName.width() - right, 24),
             extensionOnly.copy(right, 0, extensionOnly.width() - right, 24));
    QVERIFY(FirstInkColumn(extensionOnly, right, true) >= right);
}

void TestWidgets::executableFilterShowsRunnableFiles() {
    QTemporaryDir folder;
    auto write = [&folder](const QString& name, QFile::Permissions permissions) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        QVERIFY(file.setPermissions(permissions));
    };
    write(QStringLiteral("player"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write(QStringLiteral("notes.txt"), QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("programs")));

    QFileDialog dialog;
    UseExecutableFilters(dialog);
    dialog.setDirectory(folder.path());
    auto* filter = qobject_cast<ExecutableFilesFilter*>(dialog.proxyModel());
    QVERIFY(filter);
    QCOMPARE(dialog.nameFilters(),
             (QStringList{QStringLiteral("Executable Files (*)"), QStringLiteral("All Files (*)")}));
    auto* files = qobject_cast<QFileSystemModel*>(filter->sourceModel());
    QVERIFY(files);
    auto shown = [&] {
        QStringList names;
        const QModelIndex parent = filter->mapFromSource(files->index(folder.path()));
        for (int row = 0; row < filter->rowCount(parent); ++row)
            names.append(filter->index(row, 0, parent).data().toString());
        names.sort();
        return names;
    };
    QVERIFY(QTest::qWaitFor([&] { return files->rowCount(files->index(folder.path())) == 3; }));
    QCOMPARE(shown(), (QStringList{QStringLiteral("player"), QStringLiteral("programs")}));
    emit dialog.filterSelected(QStringLiteral("All Files (*)"));
    QCOMPARE(shown(), (QStringList{QStringLiteral("notes.txt"), QStringLiteral("player"),
                                   QStringLiteral("programs")}));
}

void TestWidgets::sizeFieldsRefuseSidesBeyondTheLimit_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("a plain side") << QStringLiteral("640") << QStringLiteral("640");
    QTest::newRow("the limit itself") << QStringLiteral("8192") << QStringLiteral("8192");
    QTest::newRow("one past the limit") << QStringLiteral("8193") << QStringLiteral("819");
    QTest::newRow("beyond 32 bits") << QStringLiteral("4294967295") << QStringLiteral("4294");
    QTest::newRow("words still type") << QStringLiteral("Auto") << QStringLiteral("Auto");
}

void TestWidgets::sizeFieldsRefuseSidesBeyondTheLimit() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    SizeComboBox combo;
    combo.SetValue(320, 240);
    combo.WidthField()->clear();
    QTest::keyClicks(combo.WidthField(), typed);
    QCOMPARE(combo.WidthField()->text(), kept);
    const QSize value = combo.Value();
    QVERIFY(value.width() >= 0 && value.width() <= SizeComboBox::MaxSide);
    QCOMPARE(value.height(), 240);
}

void TestWidgets::dialogUnitsFollowTheFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    const DialogUnits small(font);
    font.setPointSize(16);
    const DialogUnits large(font);
    QVERIFY(small.AverageCharWidth() > 0);
    QCOMPARE(small.X(4), small.AverageCharWidth());
    QCOMPARE(small.Y(8), small.CharHeight());
    QCOMPARE(small.Rect(7, 33, 346, 92), QRect(small.X(7), small.Y(33), small.X(346), small.Y(92)));
    QVERIFY(large.X(360) > small.X(360));
    QVERIFY(large.Y(240) > small.Y(240));
}

void TestWidgets::overwriteDialogAnswers_data() {
    QTest::addColumn<int>("button");
    for (int id : {JobContext::AnswerYes, JobContext::AnswerYesToAll, JobContext::AnswerNo,
                   JobContext::AnswerNoToAll, JobContext::AnswerCancel})
        QTest::newRow(qPrintable(QString::number(id))) << id;
    QTest::newRow("Escape") << 0;
}

void TestWidgets::overwriteDialogAnswers() {
    QFETCH(int, button);
    OverwriteConfirmDialog dialog(QStringLiteral("Clip A.flv"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Confirm File Overwrite"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("id1172"))->text(), QStringLiteral("'Clip A.flv'"));
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("id1167"))->isDefault());
    QTimer::singleShot(0, &dialog, [&] {
        if (button == 0)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.findChild<QPushButton*>(Tarnwick::IdName(button))->click();
    });
    QCOMPARE(dialog.exec(), button == 0 ? int(JobContext::AnswerCancel) : button);
}

void TestWidgets::addUrlDialogPastesOnlyAddresses_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("field");
    QTest::newRow("address") << QStringLiteral("http://host/watch?v=x")
                             << QStringLiteral("http://host/watch?v=x");
    QTest::newRow("not an address") << QStringLiteral("some words") << QString();
}

void TestWidgets::addUrlDialogPastesOnlyAddresses() {
    QFETCH(QString, clipboard);
    QFETCH(QString, field);
    QApplication::clipboard()->setText(clipboard);
    const QStringList recent{QStringLiteral("http://host/1"), QStringLiteral("http://host/2")};
    AddUrlDialog add(AddUrlDialog::Mode::Add, recent, QStringLiteral("127.0.0.1:9"));
    QCOMPARE(add.windowTitle(), QStringLiteral("Add URL to Download"));
    QCOMPARE(add.Text(), field);
    QCOMPARE(add.UrlField()->count(), 2);
    bool example = false;
    for (QLabel* label : add.findChildren<QLabel*>())
        example =
            example || label->text() == QStringLiteral("(Example: http://127.0.0.1:9/watch?v=GVI9oPzmWH4)");
    QVERIFY(example);

    AddUrlDialog edit(AddUrlDialog::Mode::Edit, recent, QStringLiteral("h"), QStringLiteral("not a url"));
    QCOMPARE(edit.windowTitle(), QStringLiteral("Download"));
    QCOMPARE(edit.Text(), QStringLiteral("not a url"));
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
