#include "conversion/preset.h"
#include "dialogtesting.h"
#include "presets/formatsettingsdialog.h"
#include "presets/presetcontrols.h"
#include "ui/sizecombobox.h"
#include "ui/twocolumncombobox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>

using namespace Tarnwick;
using namespace DialogTesting;

namespace {

// Replaces the text of an editable list as a user types it, one key at a time.
void TypeInto(QComboBox* list, const QString& text) {
    QLineEdit* edit = list->lineEdit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

int EntryWithText(const QComboBox* list, const QString& text) {
    return list->findText(text);
}

} // namespace

class FormatSettingsDialogTest : public QObject {
    Q_OBJECT

private:
    // Opens the dialog on the named format and preset, shown so that it takes keys.
    std::unique_ptr<FormatSettingsDialog> Open(const QString& formatName, const QString& presetName) {
        OutputFormat* format = FindFormat(catalog_, formatName);
        const int preset = PresetPosition(*format, presetName);
        auto dialog =
            std::make_unique<FormatSettingsDialog>(catalog_, FormatPosition(catalog_, formatName), preset);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get()))
            return nullptr;
        return dialog;
    }

    Catalog catalog_;

private slots:
    void init() { catalog_ = FactoryCatalog(); }

    void loadingChoosesListsAndSelections_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<bool>("frameRateTyped");
        QTest::addColumn<QString>("frameRateText");
        QTest::addColumn<bool>("bitRateTyped");
        QTest::addColumn<QString>("bitRateText");
        QTest::addColumn<bool>("sizeTyped");
        QTest::addColumn<QString>("sizeText");

        // Every value free: typed texts, Auto for zero.
        QTest::newRow("FLV, all typed")
            << "FLV"
            << "Medium Quality" << true << "Auto" << true << "400" << true << "0 x 0";
        // Only the bit rate free; the fixed lists select the preset's entries.
        QTest::newRow("H.263, fixed rate and size")
            << "MP4"
            << "H.263 Format" << false << "25" << true << "1248" << false << "352 x 288";
        // 12 fps is not offered by the codec: its default entry is selected instead.
        QTest::newRow("3GP, rate not offered")
            << "Mobile Phone - 3GP"
            << "Standard Quality" << false << "25" << true << "72" << false << "176 x 144";
    }

    void loadingChoosesListsAndSelections() {
        QFETCH(QString, format);
        QFETCH(QString, preset);
        QFETCH(bool, frameRateTyped);
        QFETCH(QString, frameRateText);
        QFETCH(bool, bitRateTyped);
        QFETCH(QString, bitRateText);
        QFETCH(bool, sizeTyped);
        QFETCH(QString, sizeText);
        auto dialog = Open(format, preset);
        QVERIFY(dialog);

        QCOMPARE(FindControl(*dialog, 1210)->isVisible(), frameRateTyped);
        QCOMPARE(FindControl(*dialog, 1209)->isVisible(), !frameRateTyped);
        QCOMPARE(FindControl<QComboBox>(*dialog, frameRateTyped ? 1210 : 1209)->currentText(), frameRateText);
        QCOMPARE(FindControl(*dialog, 1198)->isVisible(), bitRateTyped);
        QCOMPARE(FindControl<QComboBox>(*dialog, bitRateTyped ? 1198 : 1199)->currentText(), bitRateText);
        QCOMPARE(FindControl(*dialog, 1200)->isVisible(), sizeTyped);
        QCOMPARE(FindControl<QComboBox>(*dialog, sizeTyped ? 1200 : 1201)->currentText(), sizeText);
    }

    void okWithoutChangesCopiesPresetIntoCustom_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("preset");
        QTest::newRow("typed values") << "FLV"
                                      << "DV Large";
        QTest::newRow("fixed lists") << "Mobile Phone - 3GP"
                                     << "For Sony Ericsson";
        QTest::newRow("second of a format") << "MP4"
                                            << "H.264 Format";
        QTest::newRow("audio only") << "MP3"
                                    << "For Apple TV";
    }

    void okWithoutChangesCopiesPresetIntoCustom() {
        QFETCH(QString, format);
        QFETCH(QString, preset);
        OutputFormat* outputFormat = FindFormat(catalog_, format);
        const int position = PresetPosition(*outputFormat, preset);
        auto dialog = Open(format, preset);
        QVERIFY(dialog);
        QVERIFY(!SameSettings(*outputFormat->customPreset, *outputFormat->presets[position]));

        dialog->accept();

        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->FormatIndex(), FormatPosition(catalog_, format));
        QCOMPARE(outputFormat->currentIndex, position);
        const Preset& custom = *outputFormat->customPreset;
        const Preset& chosen = *outputFormat->presets[position];
        if (chosen.settings.flags & ConversionSettings::AudioDisabled) {
            QVERIFY(custom.settings.flags & ConversionSettings::AudioDisabled);
            QCOMPARE(custom.settings.videoBitRate, chosen.settings.videoBitRate);
        } else {
            QVERIFY(SameSettings(custom, chosen));
        }
        QCOMPARE(TextOf(outputFormat->customPreset->settings.name), QStringLiteral("Custom"));
    }

    void presetListFollowsTypedValues_data() {
        QTest::addColumn<QString>("bitRate");
        QTest::addColumn<QString>("expected");
        QTest::newRow("equals another preset") << "1248"
                                               << "H.264 Format";
        QTest::newRow("equals none") << "1000"
                                     << "Custom";
    }

    void presetListFollowsTypedValues() {
        QFETCH(QString, bitRate);
        QFETCH(QString, expected);
        auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("MPEG-4 Format"));
        QVERIFY(dialog);
        auto* codecs = FindControl<QComboBox>(*dialog, 1036);
        codecs->setCurrentIndex(EntryWithText(codecs, QStringLiteral("H.264")));
        // The new codec's lists keep the loaded preset's values: 2500 kbps matches nothing.
        QCOMPARE(dialog->PresetList()->currentText(), QStringLiteral("Custom"));

        TypeInto(FindControl<QComboBox>(*dialog, 1198), bitRate);

        QCOMPARE(dialog->PresetList()->currentText(), expected);
        QCOMPARE(dialog->CurrentFormat()->currentIndex, dialog->PresetList()->currentIndex());
        // Matching points at the entry; it does not load the matched preset's values.
        QCOMPARE(FindControl<QComboBox>(*dialog, 1198)->currentText(), bitRate);
        QCOMPARE(dialog->EditedValues().settings.videoBitRate, bitRate.toInt() * 1000);
    }

    void revertingAValueSelectsThePresetAgain() {
        auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("H.264 Format"));
        QVERIFY(dialog);
        auto* audioBitRate = FindControl<QComboBox>(*dialog, 1046);

        audioBitRate->setCurrentIndex(EntryWithText(audioBitRate, QStringLiteral("64")));
        QCOMPARE(dialog->PresetList()->currentText(), QStringLiteral("Custom"));
        audioBitRate->setCurrentIndex(EntryWithText(audioBitRate, QStringLiteral("128")));
        QCOMPARE(dialog->PresetList()->currentText(), QStringLiteral("H.264 Format"));
    }

    void typedFrameRateMatchesNearRate() {
        // A preset of the user's at the NTSC rate, which 29.97 only approximates.
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        auto ntsc = std::make_unique<Preset>(*mp4->presets[0]);
        SetText(ntsc->settings.name, "NTSC");
        ntsc->settings.frameRateNum = 30000;
        ntsc->settings.frameRateDen = 1001;
        mp4->presets.push_back(std::move(ntsc));
        auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("MPEG-4 Format"));
        QVERIFY(dialog);

        TypeInto(FindControl<QComboBox>(*dialog, 1210), QStringLiteral("29.97"));

        const Preset values = dialog->EditedValues();
        QCOMPARE(values.settings.frameRateNum, 29970);
        QCOMPARE(values.settings.frameRateDen, 1000);
        QCOMPARE(dialog->PresetList()->currentText(), QStringLiteral("NTSC"));
    }

    void tinyFrameRateBecomesAutoOnOk() {
        auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("MPEG-4 Format"));
        QVERIFY(dialog);
        TypeInto(FindControl<QComboBox>(*dialog, 1210), QStringLiteral("0.005"));

        const Preset editing = dialog->EditedValues();
        QCOMPARE(editing.settings.frameRateNum, 5);
        QCOMPARE(editing.settings.frameRateDen, 1000);

        dialog->accept();
        const Preset& custom = *dialog->CurrentFormat()->customPreset;
        QCOMPARE(custom.settings.frameRateNum, 0);
        QCOMPARE(custom.settings.frameRateDen, 0);
    }

    void typedSizeIsMatchedOnlyOnOk() {
        auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("MPEG-4 Format"));
        QVERIFY(dialog);
        auto* size = FindControl<SizeComboBox>(*dialog, 1200);

        for (auto [field, text] :
             {std::pair{size->WidthField(), "640"}, std::pair{size->HeightField(), "480"}}) {
            field->selectAll();
            QTest::keyClicks(field, QString::fromLatin1(text));
        }
        // Typing does not match the list (it would jump through presets on the way to "640");
        // OK takes the typed size and matches it.
        QCOMPARE(dialog->PresetList()->currentText(), QStringLiteral("MPEG-4 Format"));

        dialog->accept();
        OutputFormat* mp4 = dialog->CurrentFormat();
        QCOMPARE(mp4->customPreset->settings.width, 640);
        QCOMPARE(mp4->customPreset->settings.height, 480);
        QCOMPARE(mp4->currentIndex, mp4->customIndex);
    }

    void sectionsFollowFormatAndDisableBoxes() {
        {
            auto dialog = Open(QStringLiteral("MP3"), QStringLiteral("Good Quality"));
            QVERIFY(dialog);
            QVERIFY(!FindControl(*dialog, 1059)->isEnabled());
            QVERIFY(!FindControl(*dialog, 1036)->isEnabled());
            QVERIFY(!FindControl(*dialog, 1049)->isEnabled());
            QVERIFY(!FindControl(*dialog, 1056)->isEnabled());
            QVERIFY(FindControl(*dialog, 1040)->isEnabled());
            dialog->accept();
            const Preset& custom = *dialog->CurrentFormat()->customPreset;
            QCOMPARE(custom.videoCodec, nullptr);
            QCOMPARE(TextOf(custom.settings.videoCodec), QString());
            QCOMPARE(custom.settings.flags, 0u);
            QCOMPARE(custom.settings.audioBitRate, 128000);
        }
        {
            auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("MPEG-4 Format"));
            QVERIFY(dialog);
            auto* disableVideo = FindControl<QCheckBox>(*dialog, 1049);
            disableVideo->click();
            for (int id : {1036, 1210, 1198, 1200, 1061, 1040, 1043, 1056})
                QVERIFY2(!FindControl(*dialog, id)->isEnabled(), qPrintable(QString::number(id)));
            QVERIFY(FindControl(*dialog, 1059)->isEnabled());
            QCOMPARE(dialog->PresetList()->currentText(), QStringLiteral("Custom"));
            disableVideo->click();
            for (int id : {1036, 1210, 1198, 1200, 1061, 1040, 1043, 1056})
                QVERIFY2(FindControl(*dialog, id)->isEnabled(), qPrintable(QString::number(id)));
            QCOMPARE(dialog->PresetList()->currentText(), QStringLiteral("MPEG-4 Format"));
        }
        {
            OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
            auto silent = std::make_unique<Preset>(*mp4->presets[0]);
            SetText(silent->settings.name, "Sound only");
            silent->settings.flags |= ConversionSettings::VideoDisabled;
            mp4->presets.push_back(std::move(silent));
            auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("Sound only"));
            QVERIFY(dialog);
            QVERIFY(FindControl<QCheckBox>(*dialog, 1049)->isChecked());
            QVERIFY(!FindControl(*dialog, 1061)->isEnabled());
            QVERIFY(!FindControl(*dialog, 1040)->isEnabled());
            QVERIFY(!FindControl(*dialog, 1056)->isEnabled());
        }
    }

    void formatChangeKeepsPositionInsideList_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("fromPreset");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("expected");
        QTest::newRow("position exists") << "FLV" << 1 << "MP3" << 1;
        // FLV's "Custom" is its seventh entry; AMR has three.
        QTest::newRow("past the end: current index") << "FLV" << 6 << "AMR" << 0;
    }

    void formatChangeKeepsPositionInsideList() {
        QFETCH(QString, from);
        QFETCH(int, fromPreset);
        QFETCH(QString, to);
        QFETCH(int, expected);
        FormatSettingsDialog dialog(catalog_, FormatPosition(catalog_, from), fromPreset);

        dialog.FormatList()->setCurrentIndex(FormatPosition(catalog_, to));

        OutputFormat* format = FindFormat(catalog_, to);
        QCOMPARE(dialog.CurrentFormat(), format);
        QCOMPARE(dialog.PresetList()->currentIndex(), expected);
        QCOMPARE(format->currentIndex, expected);
        QCOMPARE(dialog.PresetList()->count(), int(format->presets.size()) + 1);
        QCOMPARE(format->customIndex, int(format->presets.size()));
    }

    void cancelLeavesCustomPreset() {
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        const ConversionSettings before = mp4->customPreset->settings;
        auto dialog = Open(QStringLiteral("MP4"), QStringLiteral("XviD Format"));
        QVERIFY(dialog);
        TypeInto(FindControl<QComboBox>(*dialog, 1198), QStringLiteral("900"));
        dialog->reject();
        QCOMPARE(mp4->customPreset->settings.videoBitRate, before.videoBitRate);
        QCOMPARE(TextOf(mp4->customPreset->settings.videoCodec), TextOf(before.videoCodec));
    }
};

QTEST_MAIN(FormatSettingsDialogTest)
#include "tst_formatsettingsdialog.moc"
