#include "picturelimitbox.h"

#include <QComboBox>

namespace Tarnwick {

void OfferPictureLimits(QComboBox* box, int current) {
    box->addItem(QStringLiteral("No limit"), 0);
    for (int height : {2160, 1440, 1080, 720, 480, 360, 240})
        box->addItem(QStringLiteral("%1p").arg(height), height);
    if (box->findData(current) < 0)
        box->addItem(QStringLiteral("%1p").arg(current), current);
    box->setCurrentIndex(box->findData(current));
}

} // namespace Tarnwick
