#include "app/applicationcore.h"
#include "conversion/preset.h"
#include "dialogtesting.h"
#include "presets/presetcontrols.h"
#include "presets/presetsdialog.h"
#include "presets/presetsettingsdialog.h"
#include "testenvironment.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace Tarnwick;
using namespace DialogTesting;

namespace {

QTreeWidgetItem* TreeItem(QTreeWidget* tree, const QString& text) {
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchStartsWith | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void ShowFormat(PresetsDialog& dialog, const QString& displayName) {
    dialog.Tree()->setCurrentItem(TreeItem(dialog.Tree(), displayName + QStringLiteral(" (")));
}

void SelectRows(PresetsDialog& dialog, const QList<int>& rows) {
    dialog.List()->clearSelection();
    for (int row : rows)
        dialog.List()->topLevelItem(row)->setSelected(true);
}

QStringList RowNames(const PresetsDialog& dialog) {
    QStringList names;
    for (int i = 0; i < dialog.List()->topLevelItemCount(); ++i)
        names.append(dialog.List()->topLevelItem(i)->text(0));
    return names;
}

bool ButtonEnabled(PresetsDialog& dialog, int id) {
    return FindControl<QPushButton>(dialog, id)->isEnabled();
}

// Answers the Preset Settings dialog with a name and OK.
std::unique_ptr<ModalAnswer> AcceptEditor(QWidget* owner, const QString& name, QString* shownName = nullptr,
                                          QString* shownCodec = nullptr) {
    return std::make_unique<ModalAnswer>(owner, [=](QWidget* modal) {
        auto* editor = qobject_cast<PresetSettingsDialog*>(modal);
        if (editor == nullptr)
            return;
        if (shownName)
            *shownName = editor->NameBox()->text();
        if (shownCodec)
            *shownCodec = editor->Controls()->AudioCodecList()->currentText();
        editor->NameBox()->setText(name);
        editor->accept();
    });
}

} // namespace

class PresetsDialogTest : public QObject {
    Q_OBJECT

private:
    Catalog catalog_;

private slots:
    void init() { catalog_ = FactoryCatalog(); }

    // The dialog opens large enough that no format name and no description line of any format
    // is cut, at the desktop's font, unless the screen is too small: then it stays within the
    // screen and the descriptions scroll.
    void opensWideEnoughForItsLongestTexts() {
        PresetsDialog dialog(catalog_);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const int room = dialog.screen()->availableGeometry().width();
        QVERIFY2(dialog.frameGeometry().width() <= room, qPrintable(QString::number(dialog.width())));
        const bool atTheScreensEdge = dialog.width() >= room * 9 / 10;
        const auto showsWhole = [](QTreeWidget* view) {
            return view->horizontalScrollBar()->maximum() == 0;
        };
        // The format names come first: every one shows whole, and every format too.
        QVERIFY(showsWhole(dialog.Tree()));
        QCOMPARE(dialog.Tree()->verticalScrollBar()->maximum(), 0);
        int formats = 0;
        for (QTreeWidgetItemIterator item(dialog.Tree()); *item != nullptr; ++item)
            if ((*item)->parent() != nullptr) {
                dialog.Tree()->setCurrentItem(*item);
                ++formats;
                QVERIFY2(showsWhole(dialog.List()) || atTheScreensEdge, qPrintable((*item)->text(0)));
            }
        QVERIFY(formats > 10);
    }

    void okWithoutChangesReplacesShownFormatsWithCopies() {
        OutputFormat* first = catalog_.front()->formats.front().get();
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        OutputFormat* never = FindFormat(catalog_, QStringLiteral("WAV"));
        const Preset* oldMp4 = mp4->presets[1].get();
        const Preset* oldFirst = first->presets[0].get();
        const Preset mp4Before = *mp4->presets[1];
        const Preset* oldNever = never->presets[0].get();
        const QStringList mp4Names = PresetNames(*mp4);
        PresetsDialog dialog(catalog_);
        ShowFormat(dialog, QStringLiteral("MP4"));
        QCOMPARE(RowNames(dialog), mp4Names);

        dialog.accept();

        QCOMPARE(PresetNames(*mp4), mp4Names);
        QVERIFY(mp4->presets[1].get() != oldMp4);
        QVERIFY(SameSettings(*mp4->presets[1], mp4Before));
        // The first format is shown on opening, so it was replaced by copies too.
        QCOMPARE(first->presets.size(), size_t(1));
        QVERIFY(first->presets[0].get() != oldFirst);
        QCOMPARE(never->presets[0].get(), oldNever);
    }

    void addOnEmptyFormatUsesDefaults() {
        OutputFormat* mp3 = FindFormat(catalog_, QStringLiteral("MP3"));
        mp3->presets.clear();
        PresetsDialog dialog(catalog_);
        dialog.show();
        ShowFormat(dialog, QStringLiteral("MP3"));
        QCOMPARE(dialog.List()->topLevelItemCount(), 0);

        QString shownName, shownCodec;
        auto answer = AcceptEditor(&dialog, QStringLiteral("Mine"), &shownName, &shownCodec);
        dialog.Add();

        QVERIFY(answer->Answered());
        QCOMPARE(shownName, QStringLiteral("New Preset"));
        QCOMPARE(shownCodec, QStringLiteral("MP3"));
        QCOMPARE(RowNames(dialog), QStringList{QStringLiteral("Mine")});
        QVERIFY(dialog.List()->topLevelItem(0)->isSelected());
        dialog.accept();
        QCOMPARE(mp3->presets.size(), size_t(1));
        QVERIFY(mp3->presets[0]->settings.flags & ConversionSettings::FavoriteMark);
        QCOMPARE(mp3->presets[0]->audioCodec, mp3->audioCodecs[0].get());
    }

    void addInsertsCopyAfterSelectionAndKeepsDefault() {
        PresetsDialog dialog(catalog_);
        dialog.show();
        ShowFormat(dialog, QStringLiteral("FLV"));
        QCOMPARE(dialog.BoldRow(), 2);
        SelectRows(dialog, {0});

        auto answer = AcceptEditor(&dialog, QStringLiteral("Copy"));
        dialog.Add();

        QCOMPARE(RowNames(dialog).mid(0, 3),
                 (QStringList{QStringLiteral("Modem Quality"), QStringLiteral("Copy"),
                              QStringLiteral("Low Quality")}));
        QCOMPARE(dialog.List()->currentItem()->text(0), QStringLiteral("Copy"));
        // "Medium Quality" moved down a row and stays the default.
        QCOMPARE(dialog.BoldRow(), 3);
        QCOMPARE(dialog.List()->topLevelItem(3)->text(0), QStringLiteral("Medium Quality"));
        QVERIFY(dialog.List()->topLevelItem(3)->font(0).bold());
    }

    void defaultThenMoveUpKeepsBoldOnPreset() {
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        PresetsDialog dialog(catalog_);
        ShowFormat(dialog, QStringLiteral("MP4"));
        SelectRows(dialog, {2});
        dialog.MakeDefault();
        QCOMPARE(dialog.BoldRow(), 2);

        dialog.MoveUp();

        QCOMPARE(dialog.BoldRow(), 1);
        QCOMPARE(dialog.List()->topLevelItem(1)->text(0), QStringLiteral("H.263 Format"));
        QVERIFY(dialog.List()->topLevelItem(1)->isSelected());
        QVERIFY(!dialog.List()->topLevelItem(2)->isSelected());
        dialog.accept();
        QCOMPARE(mp4->defaultPreset, 1);
        QCOMPARE(TextOf(mp4->presets[1]->settings.name), QStringLiteral("H.263 Format"));
    }

    void deleteKeepsDefaultOnItsPreset_data() {
        QTest::addColumn<int>("defaultRow");
        QTest::addColumn<QList<int>>("deleted");
        QTest::addColumn<int>("expected");
        QTest::newRow("row before the default") << 3 << QList<int>{0} << 2;
        QTest::newRow("rows after the default") << 1 << QList<int>{2, 3} << 1;
        QTest::newRow("the default itself") << 3 << QList<int>{1, 3} << 0;
        QTest::newRow("every row") << 2 << QList<int>{0, 1, 2, 3} << 0;
    }

    void deleteKeepsDefaultOnItsPreset() {
        QFETCH(int, defaultRow);
        QFETCH(QList<int>, deleted);
        QFETCH(int, expected);
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        const QString defaultName = TextOf(mp4->presets[defaultRow]->settings.name);
        PresetsDialog dialog(catalog_);
        ShowFormat(dialog, QStringLiteral("MP4"));
        SelectRows(dialog, {defaultRow});
        dialog.MakeDefault();

        SelectRows(dialog, deleted);
        dialog.Delete();

        QCOMPARE(dialog.List()->topLevelItemCount(), 4 - int(deleted.size()));
        QCOMPARE(dialog.WorkingDefault(), expected);
        if (!deleted.contains(defaultRow))
            QCOMPARE(dialog.List()->topLevelItem(expected)->text(0), defaultName);
        dialog.accept();
        QCOMPARE(mp4->presets.size(), size_t(4 - deleted.size()));
        QCOMPARE(mp4->defaultPreset, expected);
        QVERIFY(mp4->currentIndex >= 0 && mp4->currentIndex <= int(mp4->presets.size()));
    }

    void resetThenCancelKeepsCatalogue() {
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        mp4->presets.erase(mp4->presets.begin());
        const Preset* kept = mp4->presets[0].get();
        PresetsDialog dialog(catalog_);
        ShowFormat(dialog, QStringLiteral("MP4"));
        QCOMPARE(dialog.List()->topLevelItemCount(), 3);

        dialog.Reset();
        QCOMPARE(dialog.List()->topLevelItemCount(), 4);
        dialog.reject();

        QCOMPARE(mp4->presets.size(), size_t(3));
        QCOMPARE(mp4->presets[0].get(), kept);
    }

    void resetAllActsAtOnceEvenOnCancel() {
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        OutputFormat* flv = FindFormat(catalog_, QStringLiteral("FLV"));
        mp4->presets.erase(mp4->presets.begin());
        flv->defaultPreset = 0;
        PresetsDialog dialog(catalog_);
        ShowFormat(dialog, QStringLiteral("MP4"));
        SelectRows(dialog, {0});
        dialog.Delete();

        dialog.ResetAll();
        dialog.reject();

        QVERIFY(dialog.CatalogReset());
        QCOMPARE(mp4->presets.size(), size_t(4));
        QCOMPARE(flv->defaultPreset, 2);
    }

    void editRenamesRowAndCutsLongNames() {
        OutputFormat* mp4 = FindFormat(catalog_, QStringLiteral("MP4"));
        PresetsDialog dialog(catalog_);
        dialog.show();
        ShowFormat(dialog, QStringLiteral("MP4"));
        SelectRows(dialog, {1});
        const QString longName(70, QLatin1Char('n'));

        auto answer = std::make_unique<ModalAnswer>(&dialog, [&](QWidget* modal) {
            auto* editor = qobject_cast<PresetSettingsDialog*>(modal);
            QVERIFY(editor);
            editor->NameBox()->clear();
            QTest::keyClicks(editor->NameBox(), longName);
            editor->accept();
        });
        dialog.Edit();

        QCOMPARE(dialog.List()->topLevelItem(1)->text(0), QString(63, QLatin1Char('n')));
        dialog.accept();
        QCOMPARE(TextOf(mp4->presets[1]->settings.name), QString(63, QLatin1Char('n')));
        // The favourite mark belongs to the row, not to what the editor collected.
        QVERIFY(!(mp4->presets[1]->settings.flags & ConversionSettings::FavoriteMark));
        QVERIFY(mp4->presets[0]->settings.flags & ConversionSettings::FavoriteMark);
    }

    void buttonsFollowSelection() {
        PresetsDialog dialog(catalog_);
        dialog.Tree()->setCurrentItem(dialog.Tree()->topLevelItem(0));
        QVERIFY(!dialog.List()->isEnabled());
        for (int id : {1165, 1159, 1160, 1161, 1162, 1163, 1050})
            QVERIFY2(!ButtonEnabled(dialog, id), qPrintable(QString::number(id)));
        QVERIFY(ButtonEnabled(dialog, 1217));

        ShowFormat(dialog, QStringLiteral("MP4"));
        QVERIFY(ButtonEnabled(dialog, 1165) && ButtonEnabled(dialog, 1050));
        QVERIFY(!ButtonEnabled(dialog, 1159) && !ButtonEnabled(dialog, 1162));
        SelectRows(dialog, {0});
        QVERIFY(ButtonEnabled(dialog, 1159) && ButtonEnabled(dialog, 1163) && !ButtonEnabled(dialog, 1162));
        SelectRows(dialog, {3});
        QVERIFY(ButtonEnabled(dialog, 1162) && !ButtonEnabled(dialog, 1163));
        QVERIFY(dialog.DescriptionText().startsWith(QStringLiteral("Format: MP4\nVideo: XviD")));
    }

    void presetAddedHereSurvivesRestartAsFavorite() {
        TestSupport::IsolatedProfile profile;
        // An installation folder of the test's own, so that its Presets.xml is the test's.
        QTemporaryDir install;
        for (const QString& engine : {QStringLiteral("libvarnex1.so"), QStringLiteral("libvarnex1media.so")})
            QVERIFY(
                QFile::link(QDir(TestSupport::BinDir()).absoluteFilePath(engine), install.filePath(engine)));
        {
            ApplicationCore core;
            QVERIFY(core.Start(install.path()));
            PresetsDialog dialog(core.Presets().Groups());
            dialog.show();
            ShowFormat(dialog, QStringLiteral("MP4"));
            SelectRows(dialog, {1});
            auto answer = AcceptEditor(&dialog, QStringLiteral("Mine"));
            dialog.Add();
            dialog.accept();
            core.Shutdown();
        }
        QFile file(install.filePath(QStringLiteral("Presets.xml")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains(R"(Name="Mine" Favorite="1")"));
        QVERIFY(text.contains(R"(Name="H.264 Format" Favorite="0")"));
        QVERIFY(text.contains(R"(Name="MPEG-4 Format" Favorite="1")"));

        ApplicationCore restarted;
        QVERIFY(restarted.Start(install.path()));
        const OutputFormat* mp4 = FindFormat(restarted.Presets().Groups(), QStringLiteral("MP4"));
        QCOMPARE(PresetPosition(*mp4, QStringLiteral("Mine")), 2);
        QVERIFY(mp4->presets[2]->settings.flags & ConversionSettings::FavoriteMark);
    }
};

QTEST_MAIN(PresetsDialogTest)
#include "tst_presetsdialog.moc"
