// The "Lokale IP-Adresse", "Mac-Adresse" and "Gateway" boxes of the main window.
#include "app/TForm1.h"

namespace orvex {

void TForm1::lxButton3Click() {}
void TForm1::Edit1Change() {}
void TForm1::lxButton4Click() {}
void TForm1::lxButton5Click() {}
void TForm1::Button11Click() {}
void TForm1::cobGatewayChange() {}

} // namespace orvex
