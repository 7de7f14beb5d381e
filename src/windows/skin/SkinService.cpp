#include "windows/skin/SkinService.h"

#include "windows/skin/SkinEngine.h"

#include <QApplication>

bool SkinService::attachSkin(const SkinEngine* engine)
{
    m_engine = engine && engine->loaded() ? engine : nullptr;
    return m_engine != nullptr;
}

void SkinService::detachSkin(const SkinEngine* engine)
{
    if (m_engine == engine)
        m_engine = nullptr;
}

bool SkinService::startService()
{
    if (!m_engine)
        return false;
    qApp->setStyleSheet(m_engine->skin().serviceStyle);
    m_running = true;
    return true;
}

void SkinService::stopService()
{
    if (m_running)
        qApp->setStyleSheet(QString());
    m_running = false;
    ++m_stops;
}
