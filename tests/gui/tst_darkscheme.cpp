// On a dark scheme (Fusion with a dark palette) every part the program draws itself takes its
// colours from the scheme: the band and its links, the preset and format boxes, the settings
// dialogs. Each is pictured and sampled: the colour that stands out most from a region's own
// background must read on it at 4.5 to 1 at least. With TARNWICK_SCREENSHOT_DIR set the
// pictures are kept there.

#include "dialogtesting.h"
#include "presets/formatsettingsdialog.h"
#include "presets/optionsdialog.h"
#include "presets/presetsdialog.h"
#include "ui/linkbutton.h"
#include "ui/readablecolor.h"
#include "ui/twocolumncombobox.h"
#include "windowfixture.h"

#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QStyleFactory>
#include <QTest>
#include <QTreeWidget>

using namespace Tarnwick;

namespace {

QPalette DarkPalette() {
    QPalette dark;
    const QColor window(53, 53, 53);
    const QColor base(35, 38, 41);
    for (const auto& [role, color] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, window},
             {QPalette::WindowText, Qt::white},
             {QPalette::Base, base},
             {QPalette::AlternateBase, window},
             {QPalette::Text, QColor(239, 240, 241)},
             {QPalette::Button, window},
             {QPalette::ButtonText, Qt::white},
             {QPalette::Link, QColor(41, 128, 185).lighter(150)},
             {QPalette::Highlight, QColor(61, 174, 233)},
             {QPalette::HighlightedText, QColor(35, 38, 41)},
             {QPalette::Dark, QColor(35, 35, 35)},
             {QPalette::Shadow, QColor(20, 20, 20)},
             {QPalette::Mid, QColor(45, 45, 45)},
             {QPalette::Light, QColor(80, 80, 80)}})
        dark.setColor(role, color);
    return dark;
}

// How well the region's text reads: its commonest colour is taken for the background, the
// colour farthest from it for the text.
double TextContrast(const QImage& image, const QRect& region) {
    QHash<QRgb, int> counts;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = qMax(best, ContrastRatio(QColor(it.key()), QColor(background)));
    return best;
}

QImage Picture(QWidget& widget, const QString& name) {
    widget.show();
    QApplication::processEvents();
    const QImage image = widget.grab().toImage();
    const QString folder = qEnvironmentVariable("TARNWICK_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        image.save(folder + QLatin1Char('/') + name);
    return image;
}

QRect Inside(const QWidget* child, const QWidget* top, int right = 3) {
    return QRect(child->mapTo(top, QPoint(0, 0)), child->size()).adjusted(3, 3, -right, -3);
}

// A closed box's text, without its frame and arrow.
QRect BoxText(const QWidget* box, const QWidget* top) {
    return Inside(box, top, 30).adjusted(2, 2, 0, -2);
}

} // namespace

class TestDarkScheme : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
    }

    void mainWindowBandLinksAndBoxesRead() {
        Catalog catalog = DialogTesting::FactoryCatalog();
        WindowFixture f;
        f.Create(&catalog);
        f.window->resize(760, 420);
        const QImage image = Picture(*f.window, QStringLiteral("window-dark.png"));
        // The band is the scheme's field colour, not white.
        QCOMPARE(QColor(image.pixel(2, 2)), DarkPalette().color(QPalette::Base));
        const QList<LinkButton*> links = f.window->findChildren<LinkButton*>();
        QVERIFY(links.size() >= 3);
        for (const LinkButton* link : links) {
            QVERIFY2(ContrastRatio(link->TextColor(), QColor(image.pixel(2, 2))) >= 4.5,
                     qPrintable(link->text()));
            QVERIFY2(TextContrast(image, Inside(link, f.window.get())) >= 4.5, qPrintable(link->text()));
        }
        for (const QWidget* box :
             {static_cast<QWidget*>(f.window->FormatCombo()), static_cast<QWidget*>(f.window->PresetCombo())})
            QVERIFY2(TextContrast(image, BoxText(box, f.window.get())) >= 4.5, qPrintable(box->objectName()));
    }

    void settingsDialogsRead() {
        Catalog catalog = DialogTesting::FactoryCatalog();
        {
            FormatSettingsDialog dialog(catalog,
                                        DialogTesting::FormatPosition(catalog, QStringLiteral("MP4")), 1);
            const QImage image = Picture(dialog, QStringLiteral("format-settings-dark.png"));
            for (const QWidget* box :
                 {static_cast<QWidget*>(dialog.FormatList()), static_cast<QWidget*>(dialog.PresetList())})
                QVERIFY(TextContrast(image, BoxText(box, &dialog)) >= 4.5);
        }
        {
            PresetsDialog dialog(catalog);
            const QImage image = Picture(dialog, QStringLiteral("presets-dark.png"));
            for (const QWidget* list :
                 {static_cast<QWidget*>(dialog.Tree()), static_cast<QWidget*>(dialog.List())})
                QVERIFY(TextContrast(image, Inside(list, &dialog)) >= 4.5);
        }
        {
            AppSettings settings;
            OptionsDialog dialog(settings, nullptr);
            const QImage image = Picture(dialog, QStringLiteral("options-dark.png"));
            for (const QLabel* label : dialog.findChildren<QLabel*>())
                if (label->isVisible() && !label->text().isEmpty())
                    QVERIFY2(TextContrast(image, Inside(label, &dialog)) >= 4.5, qPrintable(label->text()));
        }
    }
};

QTEST_MAIN(TestDarkScheme)
#include "tst_darkscheme.moc"
