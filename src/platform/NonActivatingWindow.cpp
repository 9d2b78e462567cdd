#include "NonActivatingWindow.h"

#include "UnavailableNonActivatingWindow.h"
#include "X11NonActivatingWindow.h"

NonActivatingWindow::~NonActivatingWindow() = default;

NonActivatingWindow& NonActivatingWindow::forPlatform(const QString& platformName) {
    static std::unique_ptr<NonActivatingWindow> instance;
    if (!instance) {
        if (platformName == QLatin1String("xcb"))
            instance = X11NonActivatingWindow::connect();
        if (!instance)
            instance = std::make_unique<UnavailableNonActivatingWindow>();
    }
    return *instance;
}
