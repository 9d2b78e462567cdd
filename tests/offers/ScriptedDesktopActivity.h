#pragma once

#include "DesktopActivity.h"

// Desktop activity that the test drives: it sets the active process and sends the change events the
// window system would send. Stands in for the X server in the watcher's rule tests only.
class ScriptedDesktopActivity : public DesktopActivity {
public:
    std::optional<std::int32_t> activeProcess() const override { return active_; }

    // Another window, of this process (or of none), became active.
    void focus(std::optional<std::int32_t> process) {
        active_ = process;
        Q_EMIT activeWindowChanged();
    }
    void windowsMappedOrUnmapped() { Q_EMIT clientListChanged(); }

private:
    std::optional<std::int32_t> active_;
};
