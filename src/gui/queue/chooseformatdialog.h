#pragma once

#include "retrieval/job/formatsurvey.h"

#include <QDialog>
#include <atomic>
#include <functional>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QThread;
class QTreeWidget;

namespace Tarnwick {

// "Choose Format": reads a row's address off the window's thread and lists what it offers;
// the choice (one format, with a sound for a picture that has none) overrides the quality for
// that row. A playlist offers a largest picture for all its entries instead. Closing the
// dialog while it reads stops the reading.
class ChooseFormatDialog : public QDialog {
    Q_OBJECT

public:
    using Survey = std::function<FormatSurvey(const std::atomic<bool>& stop)>;

    // current: the row's chosen format (empty: the rule); currentLimit: its playlist limit
    // (-1: the run's).
    ChooseFormatDialog(const QString& url, const QString& current, int currentLimit, Survey survey,
                       QWidget* parent = nullptr);
    ~ChooseFormatDialog() override;

    // What OK stands for: a format id ("" for the rule's choice), and for a playlist its limit.
    QString ChosenFormat() const;
    int ChosenLimit() const;
    bool IsPlaylist() const { return survey_.isPlaylist; }
    bool HasRead() const { return read_; }

    QTreeWidget* Formats() const { return formats_; }
    QComboBox* Sound() const { return sound_; }
    QComboBox* Limit() const { return limit_; }

signals:
    void readingEnded();

private:
    void ShowSurvey(const FormatSurvey& survey);
    void WidenForColumns();
    void UpdateSound();

    QString current_;
    int currentLimit_;
    FormatSurvey survey_;
    bool read_ = false;
    std::atomic<bool> stop_{false};
    QThread* reader_ = nullptr;

    QLabel* status_ = nullptr;
    QTreeWidget* formats_ = nullptr;
    QLabel* soundLabel_ = nullptr;
    QComboBox* sound_ = nullptr;
    QLabel* limitLabel_ = nullptr;
    QComboBox* limit_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

} // namespace Tarnwick
