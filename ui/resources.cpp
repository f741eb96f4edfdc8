// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitAssets() {
#ifdef QLM_HAVE_ASSETS
    Q_INIT_RESOURCE(assets);
#endif
}

namespace qlm::ui {

void InitResources() {
    InitAssets();
}

} // namespace qlm::ui
