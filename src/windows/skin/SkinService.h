#pragma once
#include <QString>

class SkinEngine;

// Skins what the windows do not skin themselves, for the whole program: message boxes, menus
// and tooltips. Attached to the engine and started at the splash window's load; stopped as the
// last step before the program ends.
class SkinService {
public:
    bool attachSkin(const SkinEngine* engine);
    // The engine is going away: forget it, so that nothing reads it later.
    void detachSkin(const SkinEngine* engine);
    bool startService();
    void stopService();
    bool running() const { return m_running; }
    int stops() const { return m_stops; }

private:
    const SkinEngine* m_engine = nullptr;
    bool m_running = false;
    int m_stops = 0;
};
