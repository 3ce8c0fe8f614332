// Saves a picture of each settings dialog into the folder given as the one argument, for the
// README. Run on the offscreen platform or under a virtual X server.
#include "app/appsettings.h"
#include "conversion/preset.h"
#include "dialogtesting.h"
#include "presets/formatsettingsdialog.h"
#include "presets/optionsdialog.h"
#include "presets/presetsdialog.h"
#include "presets/presetsettingsdialog.h"

#include <QApplication>
#include <QDir>
#include <QTreeWidget>
#include <cstdio>

using namespace Tarnwick;

namespace {

bool Save(QWidget& dialog, const QDir& folder, const QString& name) {
    dialog.show();
    QApplication::processEvents();
    const bool saved = dialog.grab().save(folder.filePath(name));
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(folder.filePath(name)));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialogscreenshots <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    Catalog catalog = DialogTesting::FactoryCatalog();
    bool ok = true;
    {
        FormatSettingsDialog dialog(catalog, DialogTesting::FormatPosition(catalog, QStringLiteral("MP4")),
                                    1);
        ok &= Save(dialog, folder, QStringLiteral("format-settings.png"));
    }
    {
        PresetsDialog dialog(catalog);
        const auto found =
            dialog.Tree()->findItems(QStringLiteral("FLV"), Qt::MatchStartsWith | Qt::MatchRecursive);
        if (!found.isEmpty())
            dialog.Tree()->setCurrentItem(found.first());
        dialog.List()->topLevelItem(1)->setSelected(true);
        ok &= Save(dialog, folder, QStringLiteral("presets.png"));
    }
    {
        OutputFormat* format = DialogTesting::FindFormat(catalog, QStringLiteral("Mobile Phone - 3GP"));
        Preset preset(*format->presets[3]);
        PresetSettingsDialog dialog(preset);
        ok &= Save(dialog, folder, QStringLiteral("preset-settings.png"));
    }
    {
        AppSettings settings;
        settings.defaultFolder = QDir::homePath() + QStringLiteral("/Videos");
        settings.player = QStringLiteral("/usr/local/bin/player");
        DialogTesting::PicturedRegistrar registrar;
        OptionsDialog dialog(settings, &registrar);
        ok &= Save(dialog, folder, QStringLiteral("options.png"));
    }
    return ok ? 0 : 1;
}
