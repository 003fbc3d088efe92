// The "Ping" box of the main window.
#include "app/TForm1.h"

namespace orvex {

void TForm1::PingButtonClick() {}

} // namespace orvex
