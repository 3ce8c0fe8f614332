// Every window opens at a size that shows its texts whole, within the screen: no label, button
// or box is narrower than its text needs, no control covers another or reaches past the edge of
// what holds it, and no list scrolls sideways. Run offscreen and on X, whose fonts differ.

#include "app/appsettings.h"
#include "dialogtesting.h"
#include "presets/formatsettingsdialog.h"
#include "presets/optionsdialog.h"
#include "presets/presetsettingsdialog.h"
#include "queue/addurldialog.h"
#include "queue/chooseformatdialog.h"
#include "queue/overwriteconfirmdialog.h"
#include "ui/aboutbox.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>

using namespace Tarnwick;

namespace {

// How much wider the control would have to be to show its text whole, measured where the
// style draws that text: a label's own width, a button's or a check box's text area, a box's
// field for its longest item. A wrapped label needs the height of its lines instead.
// How far a text, its mnemonic marker left out, runs past the room it has.
int Overrun(const QFontMetrics& metrics, QString text, int room) {
    text.remove(QLatin1Char('&'));
    return text.isEmpty() ? 0 : qMax(0, metrics.horizontalAdvance(text) - room);
}

int Shortfall(const QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (!label->pixmap().isNull() || label->textFormat() == Qt::RichText)
            return 0;
        if (label->wordWrap())
            return label->heightForWidth(label->width()) > label->height() ? 1 : 0;
        const int indent = label->indent() > 0 ? label->indent() : 0;
        return Overrun(metrics, label->text(), label->contentsRect().width() - 2 * label->margin() - indent);
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        if (button->inherits("QPushButton"))
            return Overrun(metrics, button->text(), button->width());
        const bool check = button->inherits("QCheckBox");
        if (!check && !button->inherits("QRadioButton"))
            return 0;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto contents = check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
        return Overrun(metrics, button->text(),
                       button->style()->subElementRect(contents, &option, button).width());
    }
    if (const auto* box = qobject_cast<const QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = box->isEditable();
        const int room = box->style()
                             ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box)
                             .width();
        int widest = 0;
        for (int i = 0; i < box->count(); ++i)
            widest = qMax(widest, metrics.horizontalAdvance(box->itemText(i)));
        return box->isEditable() ? 0 : qMax(0, widest - room);
    }
    return 0;
}

QString Named(const QWidget* widget) {
    const auto* label = qobject_cast<const QLabel*>(widget);
    const QRect g = widget->geometry();
    return QStringLiteral("%1 \"%2\" (%3) at %4,%5 %6x%7")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(),
             label != nullptr ? label->text().left(30) : QString())
        .arg(g.x())
        .arg(g.y())
        .arg(g.width())
        .arg(g.height());
}

// What of the window's texts is cut, or reaches past its holder; empty when all shows.
QStringList Faults(QWidget& window) {
    QStringList faults;
    const QRect room = window.screen()->availableGeometry();
    if (window.frameGeometry().width() > room.width() || window.frameGeometry().height() > room.height())
        faults << QStringLiteral("%1 is %2x%3, larger than the screen")
                      .arg(QString::fromLatin1(window.metaObject()->className()))
                      .arg(window.frameGeometry().width())
                      .arg(window.frameGeometry().height());
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!child->isVisibleTo(&window) || child->isWindow())
            continue;
        if (const int shortfall = Shortfall(child); shortfall > 0)
            faults << Named(child) + QStringLiteral(" is %1 px too narrow").arg(shortfall);
        if (const auto* view = qobject_cast<const QAbstractItemView*>(child);
            view != nullptr && view->horizontalScrollBar()->maximum() > 0)
            faults << Named(child) + QStringLiteral(" scrolls sideways");
        const QWidget* holder = child->parentWidget();
        if (!holder->rect().contains(child->geometry()) && !holder->inherits("QAbstractScrollArea") &&
            !holder->inherits("QAbstractItemView") &&
            holder->objectName() != QLatin1String("qt_scrollarea_viewport"))
            faults << Named(child) + QStringLiteral(" reaches past its holder");
    }
    // Controls side by side do not cover each other; a group box or frame is drawn around its
    // controls, and a box's own parts lie within it.
    const auto takesRoom = [&window](const QWidget* widget) {
        if (!widget->isVisibleTo(&window) || widget->isWindow())
            return false;
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            return !label->text().isEmpty() || !label->pixmap().isNull();
        return !widget->inherits("QGroupBox") && !widget->inherits("QFrame") &&
               !widget->inherits("QToolBar") && !widget->inherits("QMenuBar");
    };
    const QList<QWidget*> all = window.findChildren<QWidget*>();
    for (qsizetype i = 0; i < all.size(); ++i)
        for (qsizetype j = i + 1; j < all.size(); ++j) {
            QWidget* a = all[i];
            QWidget* b = all[j];
            if (a->parentWidget() != b->parentWidget() || !takesRoom(a) || !takesRoom(b) ||
                !a->geometry().intersects(b->geometry()))
                continue;
            faults << Named(a) + QStringLiteral(" and ") + Named(b) + QStringLiteral(" cover each other");
        }
    return faults;
}

} // namespace

class DialogFitTest : public QObject {
    Q_OBJECT

    void Check(QWidget& window) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Controls shown since the last layout pass are placed before they are measured.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QString folder = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            window.grab().save(folder + QLatin1Char('/') +
                               QString::fromLatin1(window.metaObject()->className()).section(u':', -1) +
                               QStringLiteral(".png"));
        const QStringList faults = Faults(window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

private slots:
    void settingsDialogs() {
        Catalog catalog = DialogTesting::FactoryCatalog();
        {
            FormatSettingsDialog dialog(catalog,
                                        DialogTesting::FormatPosition(catalog, QStringLiteral("MP4")), 1);
            Check(dialog);
        }
        {
            Preset preset(
                *DialogTesting::FindFormat(catalog, QStringLiteral("Mobile Phone - 3GP"))->presets[3]);
            PresetSettingsDialog dialog(preset);
            Check(dialog);
        }
        AppSettings settings;
        settings.defaultFolder = QDir::homePath() + QStringLiteral("/Videos");
        DialogTesting::PicturedRegistrar registrar;
        OptionsDialog dialog(settings, &registrar);
        Check(dialog);
    }

    void smallDialogs() {
        {
            AboutBox about(QStringLiteral("/usr/bin/yt-dlp"));
            Check(about);
        }
        {
            AddUrlDialog add(AddUrlDialog::Mode::Add, {QStringLiteral("http://example.org/watch?v=1")},
                             QStringLiteral("www.example.org"));
            Check(add);
        }
        {
            OverwriteConfirmDialog overwrite(QStringLiteral("A rather long file name of a video.mp4"));
            Check(overwrite);
        }
        ChooseFormatDialog choose(QStringLiteral("http://example.org/watch?v=1"), {}, -1,
                                  [](const std::atomic<bool>&) {
                                      FormatSurvey survey;
                                      survey.read = true;
                                      survey.title = QStringLiteral("A clip");
                                      OfferedFormat picture;
                                      picture.id = QStringLiteral("137");
                                      picture.height = 1080;
                                      picture.frameRate = 29.97;
                                      picture.pictureCodec = QStringLiteral("avc1.640028");
                                      picture.hasSound = false;
                                      picture.container = QStringLiteral("mp4");
                                      picture.bytes = 123456789;
                                      OfferedFormat sound;
                                      sound.id = QStringLiteral("140-drc");
                                      sound.hasPicture = false;
                                      sound.soundCodec = QStringLiteral("mp4a.40.2");
                                      sound.soundLanguage = QStringLiteral("en-US");
                                      sound.container = QStringLiteral("m4a");
                                      sound.kbps = 129.5;
                                      survey.formats = {picture, sound};
                                      return survey;
                                  });
        QTRY_VERIFY(choose.HasRead());
        Check(choose);
    }

    void mainWindow() {
        WindowFixture fixture;
        fixture.Create();
        Check(*fixture.window);
    }
};

QTEST_MAIN(DialogFitTest)
#include "tst_dialogfit.moc"
