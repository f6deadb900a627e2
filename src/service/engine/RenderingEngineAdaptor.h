#pragma once

#include "service/engine/KOVA_RenderingEngine.h"

#include <QByteArray>
#include <QDBusContext>
#include <QObject>

#include <functional>

// The rendering service's object on the bus. Each call is answered later from a
// worker thread, so the main thread never runs a job or waits for one.
class RenderingEngineAdaptor : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.morvanta.KOVA.RenderingEngine")

public:
    static inline const QString Interface = QStringLiteral("com.morvanta.KOVA.RenderingEngine");

    explicit RenderingEngineAdaptor(KOVA_RenderingEngine& engine, QObject* parent = nullptr);

public slots:
    // `value` is a binary property list of any root; empty removes the key. A value
    // that is not stored is answered with the error.
    void setObject(const QByteArray& value, const QString& key);
    // Answers whether the ticket ran and its error (empty when none).
    bool jobTicketPath(const QString& path, QByteArray& error);

private:
    // Runs `work` (which sends the reply) on a worker, inside the request group.
    static void answerLater(std::function<void()> work);

    KOVA_RenderingEngine& m_engine;
};
