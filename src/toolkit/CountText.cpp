#include "CountText.h"

#include <QDateTime>
#include <QLocale>

QString xfunCountText(int64_t count) {
    // The C locale leaves out group separators unless told otherwise; its separator is ",",
    // whatever language the desktop uses.
    static const QLocale locale = [] {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::DefaultNumberOptions);
        return c;
    }();
    return locale.toString(static_cast<qlonglong>(count));
}

QString xfunDateText() {
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("dd-MMM-yyyy HH:mm"));
}
