// The "IP Adresse hinter Router/Proxy" box of the main window.
#include "app/TForm1.h"

namespace orvex {

void TForm1::lxButton6Click() {}

} // namespace orvex
