#include "core/vault/KeyCache.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <system_error>
#include <thread>

namespace {

constexpr size_t kMostKeys = 8; // files sealed again and again elsewhere: the newest are kept

} // namespace

ResultWith<sealedformat::KeyPtr> deriveAway(const QString& password, const sealedformat::Header& header,
                                            const BusyReport& busy)
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return sealedformat::keyFor(password, header);
    ResultWith<sealedformat::KeyPtr> derived;
    QEventLoop loop;
    std::thread worker;
    try {
        worker = std::thread([&] {
            derived = sealedformat::keyFor(password, header);
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        return sealedformat::keyFor(password, header); // no thread to be had: here, then
    }
    if (busy)
        busy(true);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (busy)
        busy(false);
    return derived;
}

void KeyCache::add(const sealedformat::KeyPtr& key)
{
    if (!key)
        return;
    for (const Known& k : m_known)
        if (k.salt == key->salt() && k.params == key->params())
            return;
    ResultWith<sealedformat::KeyPtr> known;
    known.value = key;
    m_known.push_back({key->salt(), key->params(), known});
    if (m_known.size() > kMostKeys)
        m_known.erase(m_known.begin());
}

ResultWith<sealedformat::KeyPtr> KeyCache::keyFor(const QString& master, const sealedformat::Header& header,
                                                  const BusyReport& busy)
{
    for (const Known& k : m_known)
        if (k.salt == header.salt && k.params == header.params)
            return k.key;
    ResultWith<sealedformat::KeyPtr> key = deriveAway(master, header, busy);
    m_known.push_back({header.salt, header.params, key});
    if (m_known.size() > kMostKeys)
        m_known.erase(m_known.begin());
    return key;
}
