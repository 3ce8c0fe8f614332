#pragma once

class QComboBox;

namespace Tarnwick {

// The largest pictures a box offers, in Options and in Choose Format: "No limit" and the usual
// heights after what the box holds already, and current too where it is none of them (a height
// typed into the settings file); current is selected.
void OfferPictureLimits(QComboBox* box, int current);

} // namespace Tarnwick
