#include "conversion/preset.h"
#include "dialogtesting.h"
#include "presets/formatsettingsdialog.h"
#include "presets/presetcontrols.h"
#include "presets/presetsdialog.h"
#include "queue/commandids.h"
#include "ui/twocolumncombobox.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTest>

using namespace Tarnwick;
using namespace DialogTesting;

namespace {

// Whether every entry of the window's preset list carries a preset the catalogue still owns.
bool PresetListIsLive(MainWindow& window, const OutputFormat& format) {
    TwoColumnComboBox* list = window.PresetCombo();
    for (int i = 0; i < list->count(); ++i) {
        const auto* preset = reinterpret_cast<const Preset*>(list->itemData(i).value<quintptr>());
        bool owned = preset == format.customPreset.get();
        for (const auto& candidate : format.presets)
            owned = owned || candidate.get() == preset;
        if (!owned)
            return false;
    }
    return true;
}

void Click(WindowFixture& f, int id) {
    f.window->findChild<QAbstractButton*>(IdName(id))->click();
}

} // namespace

class SettingsHookupTest : public QObject {
    Q_OBJECT

private slots:
    void advancedSelectsReturnedFormatAndPreset_data() {
        QTest::addColumn<bool>("changeValue");
        QTest::newRow("named preset") << false;
        QTest::newRow("changed value: Custom") << true;
    }

    void advancedSelectsReturnedFormatAndPreset() {
        QFETCH(bool, changeValue);
        Catalog catalog = FactoryCatalog();
        WindowFixture f;
        f.settings.convert = true;
        f.Create(&catalog);
        f.window->show();
        const int mp3 = FormatPosition(catalog, QStringLiteral("MP3"));

        ModalAnswer answer(f.window.get(), [&](QWidget* modal) {
            auto* dialog = qobject_cast<FormatSettingsDialog*>(modal);
            if (!dialog)
                return;
            dialog->FormatList()->setCurrentIndex(mp3);
            dialog->PresetList()->setCurrentIndex(1);
            if (changeValue) {
                QComboBox* channels = modal->findChild<QComboBox*>(QStringLiteral("id1041"));
                channels->setCurrentIndex(channels->findText(QStringLiteral("Mono")));
            }
            dialog->accept();
        });
        Click(f, Control::AdvancedButton);

        QVERIFY(answer.Answered());
        OutputFormat* format = FindFormat(catalog, QStringLiteral("MP3"));
        QCOMPARE(f.window->FormatCombo()->currentIndex(), mp3);
        QCOMPARE(f.window->PresetCombo()->currentIndex(), changeValue ? format->customIndex : 1);
        if (changeValue)
            QCOMPARE(format->customPreset->settings.channels, 1);
    }

    void presetsResetAllThenCancelRefillsTheList() {
        Catalog catalog = FactoryCatalog();
        WindowFixture f;
        f.settings.convert = true;
        f.Create(&catalog);
        f.window->show();
        OutputFormat* shown = catalog.front()->formats.front().get();
        QVERIFY(PresetListIsLive(*f.window, *shown));

        ModalAnswer answer(f.window.get(), [](QWidget* modal) {
            if (auto* dialog = qobject_cast<PresetsDialog*>(modal)) {
                dialog->ResetAll();
                dialog->reject();
            }
        });
        Click(f, Control::PresetsLink);

        QVERIFY(answer.Answered());
        QVERIFY(PresetListIsLive(*f.window, *shown));
    }
};

QTEST_MAIN(SettingsHookupTest)
#include "tst_settingshookup.moc"
