#pragma once
// The font of a form: the family it asks for when installed, else the closest present.

#include <QFont>
#include <string>

namespace KDAutoUpdate {

// The asked family at `pointSize` when the font database has it. Otherwise the system's sans
// font: layouts in twips were made for the asked font's letter widths, so for a family whose
// widths are known (Tahoma) the fallback takes its semi-condensed face when that is closer and
// is scaled down, by at most 15 %, until its average letter is no wider.
QFont QtDialogFont(const std::string& family, double pointSize);

} // namespace KDAutoUpdate
