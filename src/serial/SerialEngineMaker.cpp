#include "serial/SerialEngineMaker.h"

#include <QCoreApplication>

namespace ini {

std::unique_ptr<tessavue::SerialEngine> xfunMakeSerialEngine() {
    return tessavue::makeLinuxSerialEngine(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

} // namespace ini
