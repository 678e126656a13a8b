#pragma once

#include <cstdint>

class QWidget;

namespace versalo {

// Puts form into the always-on-top band (onTop not 0) or takes it out, keeping its place and size.
void SetTopMost(QWidget* form, std::int16_t onTop);

// Moves form to the middle of the screen it stands on.
void CenterOnScreen(QWidget* form);

}  // namespace versalo
