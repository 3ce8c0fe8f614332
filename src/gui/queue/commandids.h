#pragma once

#include <QString>

namespace Tarnwick {

// Commands and controls of the main window. Each widget and action also carries its id as its
// object name ("id1021"), so that tests and tools can find it.
namespace Command {
constexpr int AddUrl = 32771;
constexpr int Restore = 32772;
constexpr int Clear = 32773;
constexpr int Rename = 32774;
constexpr int AddFromClipboard = 32775;
constexpr int Play = 32776;
constexpr int StartDownloading = 32777;
constexpr int Stop = 32778;
constexpr int Close = 32779;
constexpr int Presets = 32780;
constexpr int Remove = 32781;
constexpr int CopyUrl = 32782;
constexpr int CopyTo = 32783;
constexpr int About = 32784;
constexpr int Options = 32785;
constexpr int Support = 32788;
constexpr int WebSite = 32789;
constexpr int WatchOnline = 32790;
constexpr int UpdateYtDlp = 32791;
constexpr int ChooseFormat = 32792;
} // namespace Command

namespace Control {
constexpr int CloseButton = 1;
constexpr int ProgramIcon = 1000;
constexpr int QualityCombo = 1001;
constexpr int JobList = 1002;
constexpr int QualityLabel = 1003;
constexpr int ConvertCheck = 1004;
constexpr int FormatCombo = 1006;
constexpr int PresetCombo = 1008;
constexpr int FolderField = 1010;
constexpr int CloseWhenDoneCheck = 1011;
constexpr int KeepOnTopCheck = 1012;
constexpr int AdvancedButton = 1013;
constexpr int BrowseButton = 1014;
constexpr int Separator = 1016;
constexpr int PercentLabel = 1017;
constexpr int Toolbar = 1018;
constexpr int ProgressBar = 1019;
constexpr int OpenFolderButton = 1020;
constexpr int DownloadButton = 1021;
constexpr int SupportLink = 1023;
constexpr int StatusLine = 1025;
constexpr int Hint = 1026;
constexpr int OptionsLink = 1027;
constexpr int PresetsLink = 1033;
constexpr int StopButton = 1037;
constexpr int FolderLabel = 1189;
} // namespace Control

// "id" followed by the number, the object name of the widget or action with that id.
inline QString IdName(int id) {
    return QStringLiteral("id%1").arg(id);
}

} // namespace Tarnwick
