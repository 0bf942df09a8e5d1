#pragma once

class QMessageBox;

namespace app {

// The About box: the application's icon, name and version, what it does, its
// licence and copyright. A new, not yet shown box the caller owns. GUI
// thread only.
QMessageBox* NewAboutBox();

}  // namespace app
