#include "addurldialog.h"

#include "app/urlcheck.h"
#include "commandids.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace Tarnwick {

AddUrlDialog::AddUrlDialog(Mode mode, const QStringList& recentUrls, const QString& videoHost,
                           const QString& initialText, QWidget* parent)
    : QDialog(parent) {
    setObjectName(IdName(103));
    setWindowTitle(mode == Mode::Add ? QStringLiteral("Add URL to Download") : QStringLiteral("Download"));

    auto* label = new QLabel(QStringLiteral("&URL to download video from:"), this);
    url_ = new QComboBox(this);
    url_->setObjectName(IdName(1032));
    url_->setEditable(true);
    url_->setInsertPolicy(QComboBox::NoInsert);
    url_->addItems(recentUrls);
    url_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 60);
    label->setBuddy(url_);
    auto* example =
        new QLabel(QStringLiteral("(Example: http://%1/watch?v=GVI9oPzmWH4)").arg(videoHost), this);
    example->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(url_);
    layout->addWidget(example);
    layout->addWidget(buttons);

    if (mode == Mode::Add) {
        // The user has most likely just copied the address from the browser.
        const QString clipboard = QGuiApplication::clipboard()->text();
        url_->setEditText(IsUrl(clipboard) ? clipboard : QString());
    } else {
        url_->setEditText(initialText);
    }
    url_->lineEdit()->selectAll();
    url_->setFocus();
}

QString AddUrlDialog::Text() const {
    return url_->currentText();
}

} // namespace Tarnwick
