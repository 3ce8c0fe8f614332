#include "aboutbox.h"

#include "linkbutton.h"
#include "programicon.h"
#include "vendor.h"
#include "ytdlpinuselabel.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace Tarnwick {

AboutBox::AboutBox(const QString& ytDlpPath, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("id100"));
    setWindowTitle(QStringLiteral("About %1").arg(ProductTitle));

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* title = new QLabel(ProductTitle, this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* version = new QLabel(ProductVersionText, this);

    auto* site = new LinkButton(WebSiteAddress, this);
    site->SetAddress(WebSiteAddress);
    auto* support = new LinkButton(SupportAddress, this);
    support->SetAddress(SupportMailUrl());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addWidget(site, 0, Qt::AlignLeft);
    texts->addWidget(support, 0, Qt::AlignLeft);
    texts->addWidget(new YtDlpInUseLabel(ytDlpPath, this));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

} // namespace Tarnwick
