#include "WindowPlacement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tavlo::window {

namespace {

constexpr int kGap = 8;         // pixels between the main window and the new one
constexpr int kNarrowest = 400; // a window beside the main one is made no narrower than this

QWidget *mainWindowFor(const QWidget *window) {
    QWidget *active = QApplication::activeWindow();
    if (active && active != window && !active->isAncestorOf(window))
        return active->window();
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top != window && top->isVisible() && top->isWindow() && top->windowType() == Qt::Window)
            return top;
    return nullptr;
}

} // namespace

QRect besideAnchor(const QRect &anchor, const QSize &size, const QRect &screen) {
    int width = std::min(size.width(), screen.width());
    const int height = std::min(size.height(), screen.height());
    const int rightRoom = screen.right() + 1 - (anchor.right() + 1 + kGap);
    const int leftRoom = anchor.left() - kGap - screen.left();
    int x;
    if (width <= rightRoom) {
        x = anchor.right() + 1 + kGap;
    } else if (width <= leftRoom) {
        x = anchor.left() - kGap - width;
    } else if (std::max(rightRoom, leftRoom) >= kNarrowest) {
        // Narrower, on the roomier side, so the main window's buttons stay in reach.
        width = std::max(rightRoom, leftRoom);
        x = rightRoom >= leftRoom ? anchor.right() + 1 + kGap : screen.left();
    } else {
        x = screen.right() + 1 - width;
    }
    const int y = std::clamp(anchor.top(), screen.top(), screen.bottom() + 1 - height);
    x = std::clamp(x, screen.left(), screen.right() + 1 - width);
    return QRect(x, y, width, height);
}

void placeBesideMainWindow(QWidget *window) {
    if (!window)
        return;
    QWidget *main = mainWindowFor(window);
    QScreen *screen = main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame adds the title bar and borders to the client area the geometry gives.
    const QSize frameExtra = window->frameGeometry().size() - window->geometry().size();
    const QSize wanted = window->size() + frameExtra;
    QRect frame;
    if (main) {
        frame = besideAnchor(main->frameGeometry(), wanted, available);
    } else {
        frame = QRect(QPoint(), wanted.boundedTo(available.size()));
        frame.moveCenter(available.center());
    }
    window->resize(frame.size() - frameExtra);
    window->move(frame.topLeft());
}

} // namespace tavlo::window
