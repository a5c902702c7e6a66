#pragma once

// Ending the embedded office applications (sheet, document, drawing) between tests.

#include <QCoreApplication>
#include <QEvent>

namespace TestApps {

// Quits every running application of the kind and runs the deletions their quitting left to the event
// loop, so the next test starts with none.
template <class App> void quitAll() {
    for (App *app : App::instances())
        app->Quit();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace TestApps
