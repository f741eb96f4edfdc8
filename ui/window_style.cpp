// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_style.h"

#include <QProxyStyle>
#include <QStyleFactory>

namespace qlm::ui {
namespace {

class WindowStyle : public QProxyStyle {
  public:
    WindowStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_CheckBoxLabelSpacing) {
            return 4;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

QStyle* CreateWindowStyle() {
    return new WindowStyle;
}

} // namespace qlm::ui
