#pragma once

#include <QDialog>
#include <QString>
#include <utility>

#include "toolkit/ControlNames.h"
#include "toolkit/Twips.h"

// A control's place in its parent, in twips.
struct TwRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// The one way every window builds a control: named with its program name and placed by its
// twips. Extra arguments go to the control's constructor before the parent.
template <typename W, typename... Args>
W* control(QWidget* parent, const QString& name, const TwRect& at, Args&&... args) {
    auto* w = named(new W(std::forward<Args>(args)..., parent), name);
    placeTw(w, at.left, at.top, at.width, at.height);
    return w;
}

// A window that keeps the size it was designed with (the client area, in twips).
void setFixedSizeTw(QWidget* window, float widthTw, float heightTw);

// What the program's dialogs share: their program name, caption and a fixed frame with a close
// box only.
void setupDialog(QDialog* dialog, const QString& name, const QString& caption);
