#include "overwriteconfirmdialog.h"

#include "commandids.h"
#include "retrieval/job/jobcontext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace Tarnwick {

OverwriteConfirmDialog::OverwriteConfirmDialog(const QString& fileName, QWidget* parent)
    : QDialog(parent) {
    setObjectName(IdName(135));
    setWindowTitle(QStringLiteral("Confirm File Overwrite"));

    auto* icon = new QLabel(this);
    icon->setObjectName(IdName(1000));
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("'%1'").arg(fileName), this);
    name->setObjectName(IdName(1172));
    name->setTextFormat(Qt::PlainText);

    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(QStringLiteral("The output folder already contains a file named:"), this));
    texts->addWidget(name);
    texts->addWidget(new QLabel(QStringLiteral("Would you like to overwrite the existing file?"), this));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const struct {
        int id;
        const char* text;
    } answers[] = {{JobContext::AnswerYes, "&Yes"},
                   {JobContext::AnswerYesToAll, "Yes to &All"},
                   {JobContext::AnswerNo, "&No"},
                   {JobContext::AnswerNoToAll, "N&o to All"},
                   {JobContext::AnswerCancel, "Cancel"}};
    for (const auto& answer : answers) {
        auto* button = new QPushButton(QString::fromLatin1(answer.text), this);
        button->setObjectName(IdName(answer.id));
        const int id = answer.id;
        connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
        if (id == JobContext::AnswerYes) {
            button->setDefault(true);
            button->setFocus();
        }
        buttons->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

void OverwriteConfirmDialog::reject() {
    done(JobContext::AnswerCancel);
}

} // namespace Tarnwick
