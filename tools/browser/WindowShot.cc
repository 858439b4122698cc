#include "WindowShot.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

bool saveWindowShot(QWidget& window, const QString& path) {
  QScreen* screen = window.windowHandle() != nullptr ? window.windowHandle()->screen()
                                                     : QGuiApplication::primaryScreen();
  if (screen == nullptr) return false;
  // On X11 this copies the window's area of the screen with its inferiors.
  const QPixmap shot = screen->grabWindow(window.winId());
  return !shot.isNull() && shot.save(path, "PNG");
}
