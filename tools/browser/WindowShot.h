// A screenshot of what a person sees in a top-level window: taken from the X
// server, so the plug-ins' own child windows and the game windows embedded in
// them are in it (rendering the page frame would leave them out).
#pragma once

#include <QString>

class QWidget;

bool saveWindowShot(QWidget& window, const QString& path);
