#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <utility>

#include "toolkit/ControlNames.h"

// Creates a control of the storage dialogs with its objectName and place (pixels); extra
// arguments go to the control's constructor before the parent.
template <typename W, typename... Args>
W* placedChild(QWidget* parent, const QString& name, const QRect& geometry, Args&&... args) {
    auto* w = named(new W(std::forward<Args>(args)..., parent), name);
    w->setGeometry(geometry);
    return w;
}
