#pragma once

#include "drivers/AnalyzerType.h"

#include <QString>

namespace Quorlix {

// What start-up shows on a desktop: the splash window with its progress texts, the main window's
// caption and icon, the tray icon, and the operator window of some types. Under --headless
// nothing is shown and this base class does nothing.
class StartupUi
{
public:
    virtual ~StartupUi() = default;
    virtual void showSplash() {}
    virtual void setSplashStatus(const QString&) {}
    virtual void setSplashTitle(const QString&) {}
    virtual void setWindowCaption(const QString&) {}
    // Returns false when the icon file cannot be loaded.
    virtual bool setWindowIcon(const QString&) { return true; }
    virtual void showTrayIcon() {}
    virtual void hideSplash() {}
    // The operator window a type needs. False when none is shown.
    virtual bool showOperatorWindow(OperatorWindow) { return false; }
};

} // namespace Quorlix
