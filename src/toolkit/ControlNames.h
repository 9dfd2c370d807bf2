#pragma once

#include <QLatin1String>
#include <QString>

// Controls carry their program name as objectName, so tests and tools can find them; an
// element of a control array is "name(i)".

inline QString indexedName(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

template <typename W> W* named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}
