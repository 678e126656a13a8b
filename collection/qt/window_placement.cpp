#include "collection/qt/window_placement.h"

namespace versalo {

void SetTopMost(QWidget* /*form*/, std::int16_t /*onTop*/) {}

void CenterOnScreen(QWidget* /*form*/) {}

}  // namespace versalo
