#pragma once

#include "conversion/outputformat.h"
#include "queue/downloadrun.h"
#include "queue/rowprogress.h"
#include "queue/runprogress.h"
#include "retrieval/transfer/sharedrate.h"
#include "runwindow.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class QToolBar;

namespace Tarnwick {

class ConversionEngine;
class OutputFormat;
class JobListView;
class JobTableModel;
class LinkButton;
class Preset;
class DialogUnits;
class TwoColumnComboBox;
class WindowRunContext;
class JobJournal;
class JournalKeeper;
struct AppSettings;
struct CommandLineArgs;
struct YtDlpUpdateResult;

// The program's one window: the job list, the run options, the download run with its progress,
// the list commands, and the compact mode in which it shrinks to a small icon.
class MainWindow : public QDialog, private RunWindow {
    Q_OBJECT

public:
    // Shows a text to the user (a message box, by default).
    using MessageFunction = std::function<void(const QString& text)>;
    // Asks the overwrite question on the window's thread; returns one of JobContext's answers.
    using OverwriteQuestion = std::function<int(const QString& fileName)>;

    // catalog fills the format and preset lists; without one they stay empty.
    MainWindow(AppSettings& settings, ConversionEngine* engine, Catalog* catalog, JobProcedure procedure,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Queues the command line's addresses, takes its folder, and starts a run when AutoStart
    // asks for it. The last step of initialisation, separate so that callers can prepare first.
    void ApplyCommandLine(const CommandLineArgs& args);
    // A later start's addresses and folder: added as rows, the first of them selected, and
    // started as that start would have started them; with no address the window comes forward.
    void TakeHandOff(const CommandLineArgs& args);
    // "Choose Format...": lists what the selected row's address offers; the choice sticks to it.
    void ChooseFormat();
    // Records the list's unfinished jobs in journal from now on, which outlives the window; a
    // stopped job then keeps its download for a later run.
    void SetJournal(JobJournal* journal);
    // Puts jobs that an earlier session left unfinished back in the list, as waiting rows, with
    // the presets they convert with looked up again. Before ApplyCommandLine, whose automatic
    // start then includes them.
    void RestoreJobs(QList<DownloadJob> jobs);

    void SetMessageFunction(MessageFunction function) { showMessage_ = std::move(function); }
    void SetOverwriteQuestion(OverwriteQuestion question) { askOverwrite_ = std::move(question); }

    // The one entry point for new jobs; returns the new row, or -1 when the text is no URL.
    int AddUrl(const QString& text);
    // Adds each address that passes the URL check as one batch; the others are reported
    // together, once. Returns the number added.
    int AddUrls(const QStringList& texts);
    // The row of url that has not started yet, or that failed for want of the browser's
    // cookies it came with; -1 when there is none.
    int WaitingRowOf(const QString& url) const;
    // Adds every line of the clipboard's text that is an address.
    void AddFromClipboard();
    // Adds the dropped text; empty text is refused.
    bool AddFromDrop(const QString& text);

    void StartRun();
    // Updates Tarnwick's own yt-dlp in the run's place: progress in the status line and the
    // bar, Stop ends it; the outcome is shown when it is over.
    void StartYtDlpUpdate();
    void RequestStop();
    bool IsRunning() const { return thread_ != nullptr; }
    bool IsCompact() const { return compact_; }
    void SetCompact(bool compact);
    // Called before the Options dialog shows the settings, so that it can show what another
    // Tarnwick stored meanwhile.
    void SetOptionsRefresher(std::function<void()> refresh) { refreshOptions_ = std::move(refresh); }

    // Applies every enabling rule to the actions and buttons.
    void UpdateCommands();
    QAction* CommandAction(int commandId) const;
    JobTableModel* Model() const { return model_; }
    JobListView* List() const { return list_; }
    QString FolderText() const;
    void SetFolderText(const QString& folder);
    QString StatusText() const;
    TwoColumnComboBox* FormatCombo() const { return formatCombo_; }
    TwoColumnComboBox* PresetCombo() const { return presetCombo_; }
    // The compact-mode icon's tooltip, which keeps the last status text.
    QString CompactTip() const;

signals:
    // A run has ended and the window is idle again (or closing).
    void runFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void accept() override;
    void reject() override;
    void done(int result) override;

private:
    // The controls and the two layouts, in mainwindowcontrols.cpp.
    void CreateControls();
    void CreateListArea(const DialogUnits& du);
    void CreateRunArea(const DialogUnits& du);
    void CreateConversionRow(const DialogUnits& du);
    void CreateFolderRow(const DialogUnits& du);
    void CreateBottomRow(const DialogUnits& du);
    void CreateHeaderLinks(const DialogUnits& du);
    void SetIdleLayout();
    void SetRunningLayout();
    void ApplyConvertCheck();
    void ShowSummaryInIdleLayout();
    void HideSummary();

    // Toolbar, menus and accelerators, in mainwindowmenus.cpp.
    void CreateCommands();
    void CreateMenus();
    QAction* MakeAction(int commandId, const QString& text, void (MainWindow::*handler)());
    void OpenMenuFromKeyboard();
    QMenu* MenuFor(bool fromList) const;
    void PopupMenu(QMenu* menu, const QPoint& where);

    // The folder field and the format and preset lists, in mainwindowformats.cpp.
    void FillFolderField();
    void RefillFolderList();
    void FillFormatCombo();
    void OnFormatChanged();
    void RefillPresetCombo();

    // Keep-on-top and compact mode, in mainwindowcompact.cpp.
    void ApplyKeepOnTop();

    // Fields and settings, in mainwindow.cpp.
    void PushFieldsToControls();
    void TakeControlValues();
    void WriteSettings();
    void UpdateHeader();
    void OnListChanged();
    void SetCompactTip(const QString& text);

    // Commands, in mainwindowcommands.cpp.
    void OpenAddUrlDialog();
    void EditUrlOfItem(int row);
    void OnListDoubleClicked();
    void RemoveSelected();
    void ClearList();
    void CopyUrlToClipboard();
    void Play();
    void Rename();
    void CopyTo();
    void WatchOnline();
    void OpenFolder();
    void Browse();
    void ShowAbout();
    void ShowOptions();
    void ShowPresets();
    void ShowAdvanced();
    void OpenSupport();
    void OpenWebSite();
    void CloseCommand();
    void Restore();
    void RememberRecentUrls(const QStringList& urls);
    // Adds the addresses that have no waiting row, gives the cookies that came with them to
    // their rows, and selects the first one's row. False when none became or found a row.
    bool TakeAddresses(const CommandLineArgs& args);
    void GiveHandedCookies(int row, const QByteArray& cookies);
    void ShowMessage(const QString& text) override;
    void OnRenameRefused(int row, const QString& text);

    // The run, in mainwindowrun.cpp; the RunWindow functions run on the window's thread for
    // the worker.
    // Waits for the worker thread that has said it is done, and shows what it left; false when
    // there is none.
    bool EndWorker();
    void OnRunFinished();
    void OnYtDlpUpdateFinished(const YtDlpUpdateResult& result);
    void ApplyDisplay();
    void ShowStatus(const QString& text);
    void EchoWhereNobodySees(const QString& text);
    QList<ScheduledFrontEnd::RowAddress> RowAddresses() const override;
    int RowOfJob(quint64 id) const override;
    DownloadJob JobRecord(int index) const override;
    void ShowJobRecord(int index, const DownloadJob& record) override;
    void UpdateJobRecord(int index, const DownloadJob& record) override;
    // Deletes the downloads kept for the rows about to be removed.
    void DiscardKeptDownloads(const QList<int>& rows);
    int SelectJob(int index) override;
    int JobCount() const override;
    void InsertJobs(int index, const QList<DownloadJob>& jobs) override;
    int AskOverwrite(const QString& fileName) override;
    void ShowProgressDisplay(bool shown) override;
    void ShowSummary(const QString& text) override;

    AppSettings& settings_;
    // One limit for every download of the window; a change applies to transfers in progress.
    SharedRate rate_;
    std::function<void()> refreshOptions_;
    JobJournal* journal_ = nullptr;
    std::unique_ptr<JournalKeeper> journalKeeper_;
    bool restoredJobs_ = false;
    std::optional<QString> restoredFolder_;
    ConversionEngine* engine_;
    Catalog* catalog_;
    OutputFormat* currentFormat_ = nullptr;
    JobProcedure procedure_;
    MessageFunction showMessage_;
    OverwriteQuestion askOverwrite_;

    // Window fields exchanged with the controls.
    bool closeWhenDone_ = false;
    bool convert_ = false;
    QString saveFolder_;
    bool keepOnTop_ = false;
    int formatIndex_ = -1;
    int presetIndex_ = -1;
    int qualityIndex_ = 0;
    bool compact_ = false;
    QRect fullRect_;
    QRect compactRect_;
    // The status line's place during a run, and where the summary stays after it.
    QRect runStatusGeometry_;
    QRect summaryGeometry_;
    const Preset* chosenPreset_ = nullptr;

    // The run.
    RunState run_;
    RunDisplayBoard board_;
    // Each job's own progress when several run at once, shown on its row.
    RowProgressBoard rowBoard_;
    QHash<quint64, RowProgressBoard::Row> rowProgress_; // of the jobs in progress, by id
    // The status line and title of a run with several in progress, from rowProgress_.
    void ShowSeveralInProgress();
    QThread* thread_ = nullptr;
    std::unique_ptr<WindowRunContext> context_;
    QTimer* displayTimer_ = nullptr;
    // The run ended with a summary, which stays in the status line once the window is idle.
    bool summaryPending_ = false;

    // Dragging the window by its client area.
    QPoint dragOffset_;
    bool dragging_ = false;

    JobTableModel* model_ = nullptr;
    JobListView* list_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QLabel* programIcon_ = nullptr;
    QLabel* qualityLabel_ = nullptr;
    QComboBox* qualityCombo_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* percentLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QCheckBox* convertCheck_ = nullptr;
    TwoColumnComboBox* formatCombo_ = nullptr;
    TwoColumnComboBox* presetCombo_ = nullptr;
    QPushButton* advancedButton_ = nullptr;
    QComboBox* folderField_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QCheckBox* closeWhenDoneCheck_ = nullptr;
    QCheckBox* keepOnTopCheck_ = nullptr;
    QPushButton* downloadButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* openFolderButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    LinkButton* optionsLink_ = nullptr;
    LinkButton* presetsLink_ = nullptr;
    LinkButton* supportLink_ = nullptr;
    QMenu* mainMenu_ = nullptr;
    QMenu* compactMenu_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QHash<int, QList<QAction*>> actions_;
};

} // namespace Tarnwick
